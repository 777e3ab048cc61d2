#include "debuglogwindow.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>

QPointer<DebugLogWindow> DebugLogWindow::s_instance;

DebugLogWindow::DebugLogWindow(QWidget *parent)
    : QTextEdit(parent)
{
    setWindowTitle(QStringLiteral("Zemo300 Debug Log"));
    setGeometry(50, 50, 680, 340);
    setReadOnly(true);
    setFont(QFont(QStringLiteral("Courier New"), 10));
    setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    setTextColor(QColor(192, 192, 192));
    s_instance = this;
}

DebugLogWindow::~DebugLogWindow()
{
    if (s_instance == this)
        s_instance = nullptr;
}

DebugLogWindow *DebugLogWindow::instance()
{
    return s_instance.data();
}

void DebugLogWindow::appendLine(const QColor &colour, const QString &text)
{
    setTextColor(colour);
    append(text);
}

void DebugLogWindow::setLineColour(const QColor &colour)
{
    setTextColor(colour);
}

void DebugLogWindow::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Clear log"), this, &QTextEdit::clear);
    menu.exec(QCursor::pos());
    event->accept();
}
