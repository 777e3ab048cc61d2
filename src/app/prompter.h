#pragma once

#include <QFlags>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// The buttons and icons of a question to the engineer. The values are those of the widget
// toolkit's message box, so that the window's face passes them on unchanged; the core itself
// never shows a widget.
namespace Prompt {
enum Button {
    NoButton = 0x00000000,
    Ok = 0x00000400,
    Yes = 0x00004000,
    No = 0x00010000,
    Cancel = 0x00400000,
};
Q_DECLARE_FLAGS(Buttons, Button)
enum Icon { NoIcon = 0, Information = 1, Warning = 2, Critical = 3, Question = 4 };
} // namespace Prompt
Q_DECLARE_OPERATORS_FOR_FLAGS(Prompt::Buttons)

// One modal question or message to the engineer.
struct MessageRequest
{
    Prompt::Icon icon = Prompt::NoIcon;
    QString title;
    QString text;
    Prompt::Buttons buttons = Prompt::Ok;
    QWidget *parent = nullptr;
    QString styleSheet;
    Qt::TextFormat textFormat = Qt::AutoText;
    // Above 0: the box goes away by itself after this many milliseconds (answered as NoButton).
    int autoCloseMs = 0;
};

// A file name asked of the engineer with a file dialog.
struct FileRequest
{
    enum Kind { Open, Save };
    Kind kind = Open;
    QWidget *parent = nullptr;
    QString title;
    QString proposed; // start folder for Open, proposed name for Save
    QString filter;
};

// The seam between the program and its modal dialogs: message boxes, file dialogs and the
// desktop's URL handler. Each window and the device link own one; the faces answer them: the
// window with its dialogs (installed process-wide by the window's library), the command-line
// tool with its own rules, a test with handlers of its own without a nested event loop.
//
// Who answers, in this order: the handler given to this Prompter; the process-wide default of
// the tests; the dialogs of the window's library. With none of them, a question is answered
// NoButton, a file name is empty and a URL is not opened.
class Prompter
{
public:
    using MessageHandler = std::function<Prompt::Button(const MessageRequest &)>;
    using FileHandler = std::function<QString(const FileRequest &)>;
    using UrlHandler = std::function<bool(const QUrl &)>;

    Prompt::Button message(const MessageRequest &request) const;
    QString fileName(const FileRequest &request) const;
    bool openUrl(const QUrl &url) const;

    // Shorthands for the common boxes.
    Prompt::Button critical(QWidget *parent, const QString &title, const QString &text) const;
    Prompt::Button warning(QWidget *parent, const QString &title, const QString &text) const;
    Prompt::Button information(QWidget *parent, const QString &title, const QString &text) const;
    Prompt::Button question(QWidget *parent, const QString &title, const QString &text) const;

    void setMessageHandler(MessageHandler handler) { m_message = std::move(handler); }
    void setFileHandler(FileHandler handler) { m_file = std::move(handler); }
    void setUrlHandler(UrlHandler handler) { m_url = std::move(handler); }

    // Handlers for every Prompter that has none of its own (tests of code that makes its
    // dialogs itself). Empty handlers restore the dialogs.
    static void setDefaultHandlers(MessageHandler message, FileHandler file = {},
                                   UrlHandler url = {});
    // The real dialogs, set once by the window's library.
    static void setDialogHandlers(MessageHandler message, FileHandler file, UrlHandler url);

private:
    MessageHandler m_message;
    FileHandler m_file;
    UrlHandler m_url;
};
