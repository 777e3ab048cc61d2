#include "debuglogwindow.h"

#include "loghandler.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QTextCharFormat>
#include <QTextCursor>

QPointer<DebugLogWindow> DebugLogWindow::s_instance;

namespace {
// Called by the log handler on the thread that logged. The window lives on the GUI thread: the
// colour and the line travel there as one queued call, so each line keeps its own colour
// whichever thread logged it. Lines of the other levels only change the colour.
void showLogLine(QtMsgType type, int category, const QString &text)
{
    DebugLogWindow *window = DebugLogWindow::instance();
    if (!window)
        return;
    const QColor colour = DebugLogWindow::colourOf(category);
    if (type == QtDebugMsg)
        QMetaObject::invokeMethod(window, "appendLine", Qt::QueuedConnection, Q_ARG(QColor, colour),
                                  Q_ARG(QString, text));
    else
        QMetaObject::invokeMethod(window, "setLineColour", Qt::QueuedConnection,
                                  Q_ARG(QColor, colour));
}
} // namespace

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
    LogHandler::setLineSink(&showLogLine);
}

DebugLogWindow::~DebugLogWindow()
{
    if (s_instance == this) {
        LogHandler::setLineSink(nullptr);
        s_instance = nullptr;
    }
}

DebugLogWindow *DebugLogWindow::instance()
{
    return s_instance.data();
}

void DebugLogWindow::destroyInstance()
{
    delete s_instance.data();
}

QColor DebugLogWindow::colourOf(int category)
{
    switch (category) {
    case 2:
        return QColor(0, 127, 14);
    case 8:
        return QColor(64, 64, 64);
    case 9:
        return QColor(0, 0, 255);
    case 10:
        return QColor(0, 255, 0);
    case 12:
        return QColor(255, 0, 0);
    case 13:
        return QColor(255, 0, 255);
    case 14:
        return QColor(255, 255, 0);
    case 15:
        return QColor(255, 255, 255);
    case 16:
        return QColor(255, 106, 0);
    case 17:
        return QColor(255, 50, 145);
    default:
        return QColor(192, 192, 192);
    }
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
