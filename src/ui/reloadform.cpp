#include "reloadform.h"
#include "ui_reloadform.h"

#include <QEvent>

ReloadForm::ReloadForm(QWidget *parent)
    : FramelessDialog(parent)
    , ui(new Ui::ReloadForm)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
}

ReloadForm::~ReloadForm()
{
    delete ui;
}

void ReloadForm::on_reloadButt_clicked()
{
    if (isFinished())
        return;
    ui->reloadButt->setEnabled(false);
    ui->cancelReloadButt->setEnabled(false);
    // Finished first: whatever runs from the signal finds the question answered.
    finish(Accepted);
    emit reload();
}

void ReloadForm::on_cancelReloadButt_clicked()
{
    if (isFinished())
        return;
    emit rebootCancel();
    finish(Rejected);
}

void ReloadForm::on_closeReloadFormButt_clicked()
{
    on_cancelReloadButt_clicked();
}

void ReloadForm::reject()
{
    on_cancelReloadButt_clicked();
}

void ReloadForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    FramelessDialog::changeEvent(event);
}
