#include "prompter.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

namespace {
struct Defaults
{
    Prompter::MessageHandler message;
    Prompter::FileHandler file;
    Prompter::UrlHandler url;
};

Defaults &defaults()
{
    static Defaults d;
    return d;
}

MessageRequest simpleBox(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                         const QString &text, QMessageBox::StandardButtons buttons)
{
    MessageRequest request;
    request.icon = icon;
    request.parent = parent;
    request.title = title;
    request.text = text;
    request.buttons = buttons;
    return request;
}

QMessageBox::StandardButton realMessage(const MessageRequest &request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    box.setTextFormat(request.textFormat);
    if (!request.styleSheet.isEmpty())
        box.setStyleSheet(request.styleSheet);
    if (request.autoCloseMs > 0) {
        QPointer<QMessageBox> guard(&box);
        QTimer::singleShot(request.autoCloseMs, &box, [guard] {
            if (guard)
                guard->done(QMessageBox::NoButton);
        });
    }
    const int result = box.exec();
    return static_cast<QMessageBox::StandardButton>(result);
}
} // namespace

QMessageBox::StandardButton Prompter::message(const MessageRequest &request) const
{
    if (m_message)
        return m_message(request);
    if (defaults().message)
        return defaults().message(request);
    return realMessage(request);
}

QString Prompter::fileName(const FileRequest &request) const
{
    if (m_file)
        return m_file(request);
    if (defaults().file)
        return defaults().file(request);
    if (request.kind == FileRequest::Open)
        return QFileDialog::getOpenFileName(request.parent, request.title, request.proposed,
                                            request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.title, request.proposed,
                                        request.filter);
}

bool Prompter::openUrl(const QUrl &url) const
{
    if (m_url)
        return m_url(url);
    if (defaults().url)
        return defaults().url(url);
    return QDesktopServices::openUrl(url);
}

QMessageBox::StandardButton Prompter::critical(QWidget *parent, const QString &title,
                                               const QString &text) const
{
    return message(simpleBox(QMessageBox::Critical, parent, title, text, QMessageBox::Ok));
}

QMessageBox::StandardButton Prompter::warning(QWidget *parent, const QString &title,
                                              const QString &text) const
{
    return message(simpleBox(QMessageBox::Warning, parent, title, text, QMessageBox::Ok));
}

QMessageBox::StandardButton Prompter::information(QWidget *parent, const QString &title,
                                                  const QString &text) const
{
    return message(simpleBox(QMessageBox::Information, parent, title, text, QMessageBox::Ok));
}

QMessageBox::StandardButton Prompter::question(QWidget *parent, const QString &title,
                                               const QString &text) const
{
    return message(simpleBox(QMessageBox::Question, parent, title, text,
                             QMessageBox::Yes | QMessageBox::No));
}

void Prompter::setDefaultHandlers(MessageHandler message, FileHandler file, UrlHandler url)
{
    defaults().message = std::move(message);
    defaults().file = std::move(file);
    defaults().url = std::move(url);
}
