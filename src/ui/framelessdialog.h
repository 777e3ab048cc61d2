#pragma once

#include <QDialog>
#include <QPoint>

// The look every small dialog of the configurator shares: no system frame (the dialog draws its
// own title strip with a close button) and moved by dragging it with the left mouse button.
class FramelessDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FramelessDialog(QWidget *parent = nullptr);

protected:
    // Ends the dialog (also a modal run of it) and deletes it once control is back in the
    // event loop: for dialogs made anew for each use. Their buttons do nothing more after that.
    void finish(int result);
    bool isFinished() const { return m_finished; }

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint m_pressPoint;
    bool m_dragging = false;
    bool m_finished = false;
};
