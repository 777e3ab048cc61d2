#include "framelessdialog.h"

#include <QMouseEvent>

FramelessDialog::FramelessDialog(QWidget *parent)
    : QDialog(parent, (Qt::Window | Qt::FramelessWindowHint) & ~Qt::WindowContextHelpButtonHint)
{ }

void FramelessDialog::finish(int result)
{
    m_finished = true;
    done(result);
    deleteLater();
}

void FramelessDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressPoint = event->pos();
        m_dragging = true;
    }
    QDialog::mousePressEvent(event);
}

void FramelessDialog::mouseMoveEvent(QMouseEvent *event)
{
    // The point grabbed at the press stays under the cursor; the size does not change.
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(pos() + (event->pos() - m_pressPoint));
    QDialog::mouseMoveEvent(event);
}

void FramelessDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
