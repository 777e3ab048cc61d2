// The configuration document behind the form, the change document, files, read and write.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>

void MainWindow::readConfig_220() { }

void MainWindow::readXmlBuffer(QBuffer *buffer)
{
    Q_UNUSED(buffer)
}

void MainWindow::updateGui(QDomNode node)
{
    Q_UNUSED(node)
}

void MainWindow::changeConfig(int id)
{
    Q_UNUSED(id)
}

void MainWindow::openFileSlot() { }

void MainWindow::saveFileSlot() { }

void MainWindow::writeConfig() { }

void MainWindow::on_closeMainWindow_clicked()
{
    QApplication::closeAllWindows();
}

bool MainWindow::fillConfigBuffer()
{
    return false;
}

void MainWindow::removeElement(QDomDocument &doc, const QString &name)
{
    Q_UNUSED(doc)
    Q_UNUSED(name)
}

void MainWindow::addElement(QDomDocument &doc, const QString &name, const QStringList &attributes)
{
    Q_UNUSED(doc)
    Q_UNUSED(name)
    Q_UNUSED(attributes)
}

void MainWindow::setParameter(const QString &name, const QStringList &attributes)
{
    Q_UNUSED(name)
    Q_UNUSED(attributes)
}
