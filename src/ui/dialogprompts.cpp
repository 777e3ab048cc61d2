#include "dialogprompts.h"

#include "prompter.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {
Prompt::Button showMessage(const MessageRequest &request)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(request.icon), request.title, request.text,
                    QMessageBox::StandardButtons(int(request.buttons)), request.parent);
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
    return static_cast<Prompt::Button>(box.exec());
}

QString askFileName(const FileRequest &request)
{
    if (request.kind == FileRequest::Open)
        return QFileDialog::getOpenFileName(request.parent, request.title, request.proposed,
                                            request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.title, request.proposed,
                                        request.filter);
}
} // namespace

void installDialogPrompts()
{
    Prompter::setDialogHandlers(showMessage, askFileName,
                                [](const QUrl &url) { return QDesktopServices::openUrl(url); });
}
