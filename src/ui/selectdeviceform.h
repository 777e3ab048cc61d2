#pragma once

#include "framelessdialog.h"

namespace Ui {
class SelectDeviceForm;
}

// A modal list of devices offered by the device link; the chosen row goes back as its index.
// Deletes itself once a device is chosen or the choice is abandoned.
class SelectDeviceForm : public FramelessDialog
{
    Q_OBJECT
public:
    SelectDeviceForm(QWidget *parent, const QStringList &devices);
    ~SelectDeviceForm() override;

signals:
    void deviceSelected(int row);

public slots:
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_selectButton_clicked();
    void on_cancelButton_clicked();
    void on_closeSelectDeviceFormButton_clicked();

private:
    Ui::SelectDeviceForm *ui;
};
