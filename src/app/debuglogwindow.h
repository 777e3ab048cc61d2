#pragma once

#include <QColor>
#include <QPointer>
#include <QTextEdit>

// The debug log window of "-console": a read-only black text view with coloured lines and a
// context menu holding "Clear log". Only one exists: it installs itself as the log handler's line
// sink, which reaches it through instance(), empty when the window was not made or is gone.
class DebugLogWindow : public QTextEdit
{
    Q_OBJECT
public:
    explicit DebugLogWindow(QWidget *parent = nullptr);
    ~DebugLogWindow() override;

    static DebugLogWindow *instance();
    // Deletes the window if it is still there: it may have been disposed of already.
    static void destroyInstance();

    // The colour of a log category's lines (192, 192, 192 for any category not listed).
    static QColor colourOf(int category);

public slots:
    void appendLine(const QColor &colour, const QString &text);
    void setLineColour(const QColor &colour);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    static QPointer<DebugLogWindow> s_instance;
};
