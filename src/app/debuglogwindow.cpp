#include "debuglogwindow.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QTextCharFormat>
#include <QTextCursor>

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

void DebugLogWindow::destroyInstance()
{
    delete s_instance.data();
}

void DebugLogWindow::appendLine(const QColor &colour, const QString &text)
{
    // Log lines are plain text: a console line that holds "<b>" shows those characters.
    setTextColor(colour);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.insertText(text, format);
    ensureCursorVisible();
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
