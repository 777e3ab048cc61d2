#include "selectdeviceform.h"
#include "ui_selectdeviceform.h"

#include <QEvent>

SelectDeviceForm::SelectDeviceForm(QWidget *parent, const QStringList &devices)
    : FramelessDialog(parent)
    , ui(new Ui::SelectDeviceForm)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    ui->deviceListWidget->addItems(devices);
    if (!devices.isEmpty())
        ui->deviceListWidget->setCurrentRow(0);
    ui->selectButton->setEnabled(!devices.isEmpty());
    connect(ui->deviceListWidget, &QListWidget::itemDoubleClicked, this,
            &SelectDeviceForm::on_selectButton_clicked);
}

SelectDeviceForm::~SelectDeviceForm()
{
    delete ui;
}

void SelectDeviceForm::on_selectButton_clicked()
{
    const int row = ui->deviceListWidget->currentRow();
    if (isFinished() || row < 0)
        return;
    emit deviceSelected(row);
    finish(Accepted);
}

void SelectDeviceForm::on_cancelButton_clicked()
{
    if (isFinished())
        return;
    finish(Rejected);
}

void SelectDeviceForm::on_closeSelectDeviceFormButton_clicked()
{
    on_cancelButton_clicked();
}

void SelectDeviceForm::reject()
{
    on_cancelButton_clicked();
}

void SelectDeviceForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    FramelessDialog::changeEvent(event);
}
