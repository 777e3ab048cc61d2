#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// One modal question or message to the engineer.
struct MessageRequest
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
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
// desktop's URL handler. Each window owns one; a test gives it handlers (or sets process-wide
// ones) and answers without a nested event loop hanging the test.
class Prompter
{
public:
    using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest &)>;
    using FileHandler = std::function<QString(const FileRequest &)>;
    using UrlHandler = std::function<bool(const QUrl &)>;

    QMessageBox::StandardButton message(const MessageRequest &request) const;
    QString fileName(const FileRequest &request) const;
    bool openUrl(const QUrl &url) const;

    // Shorthands for the common boxes.
    QMessageBox::StandardButton critical(QWidget *parent, const QString &title,
                                         const QString &text) const;
    QMessageBox::StandardButton warning(QWidget *parent, const QString &title,
                                        const QString &text) const;
    QMessageBox::StandardButton information(QWidget *parent, const QString &title,
                                            const QString &text) const;
    QMessageBox::StandardButton question(QWidget *parent, const QString &title,
                                         const QString &text) const;

    void setMessageHandler(MessageHandler handler) { m_message = std::move(handler); }
    void setFileHandler(FileHandler handler) { m_file = std::move(handler); }
    void setUrlHandler(UrlHandler handler) { m_url = std::move(handler); }

    // Handlers for every Prompter that has none of its own (tests of code that makes its
    // dialogs itself). Empty handlers restore the real dialogs.
    static void setDefaultHandlers(MessageHandler message, FileHandler file = {},
                                   UrlHandler url = {});

private:
    MessageHandler m_message;
    FileHandler m_file;
    UrlHandler m_url;
};
