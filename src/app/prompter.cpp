#include "prompter.h"

namespace {
struct Handlers
{
    Prompter::MessageHandler message;
    Prompter::FileHandler file;
    Prompter::UrlHandler url;
};

Handlers &defaults()
{
    static Handlers d;
    return d;
}

Handlers &dialogs()
{
    static Handlers d;
    return d;
}

MessageRequest simpleBox(Prompt::Icon icon, QWidget *parent, const QString &title,
                         const QString &text, Prompt::Buttons buttons)
{
    MessageRequest request;
    request.icon = icon;
    request.parent = parent;
    request.title = title;
    request.text = text;
    request.buttons = buttons;
    return request;
}
} // namespace

Prompt::Button Prompter::message(const MessageRequest &request) const
{
    if (m_message)
        return m_message(request);
    if (defaults().message)
        return defaults().message(request);
    if (dialogs().message)
        return dialogs().message(request);
    return Prompt::NoButton;
}

QString Prompter::fileName(const FileRequest &request) const
{
    if (m_file)
        return m_file(request);
    if (defaults().file)
        return defaults().file(request);
    if (dialogs().file)
        return dialogs().file(request);
    return QString();
}

bool Prompter::openUrl(const QUrl &url) const
{
    if (m_url)
        return m_url(url);
    if (defaults().url)
        return defaults().url(url);
    if (dialogs().url)
        return dialogs().url(url);
    return false;
}

Prompt::Button Prompter::critical(QWidget *parent, const QString &title, const QString &text) const
{
    return message(simpleBox(Prompt::Critical, parent, title, text, Prompt::Ok));
}

Prompt::Button Prompter::warning(QWidget *parent, const QString &title, const QString &text) const
{
    return message(simpleBox(Prompt::Warning, parent, title, text, Prompt::Ok));
}

Prompt::Button Prompter::information(QWidget *parent, const QString &title,
                                     const QString &text) const
{
    return message(simpleBox(Prompt::Information, parent, title, text, Prompt::Ok));
}

Prompt::Button Prompter::question(QWidget *parent, const QString &title, const QString &text) const
{
    return message(simpleBox(Prompt::Question, parent, title, text, Prompt::Yes | Prompt::No));
}

void Prompter::setDefaultHandlers(MessageHandler message, FileHandler file, UrlHandler url)
{
    defaults().message = std::move(message);
    defaults().file = std::move(file);
    defaults().url = std::move(url);
}

void Prompter::setDialogHandlers(MessageHandler message, FileHandler file, UrlHandler url)
{
    dialogs().message = std::move(message);
    dialogs().file = std::move(file);
    dialogs().url = std::move(url);
}
