#include "remoteconnectform.h"
#include "ui_remoteconnectform.h"

#include "settings.h"

#include <QEvent>

namespace {
const QString kGroup = QStringLiteral("RemConf");
const QString kLastImeiKey = QStringLiteral("lastImei");
} // namespace

RemoteConnectForm::RemoteConnectForm(QWidget *parent)
    : FramelessDialog(parent)
    , ui(new Ui::RemoteConnectForm)
{
    ui->setupUi(this);
    const QVariant lastImei = readSetting(kGroup, kLastImeiKey);
    if (!lastImei.isNull()) {
        ui->imeiLineEdit->setText(lastImei.toString());
        m_lastImei = ui->imeiLineEdit->text();
    }
}

RemoteConnectForm::~RemoteConnectForm()
{
    delete ui;
}

void RemoteConnectForm::on_connectButton_clicked()
{
    if (isFinished())
        return;
    const QString imei = ui->imeiLineEdit->text();
    const QString password = ui->passLineEdit->text();
    if (password.isEmpty()) {
        m_prompter.warning(this, tr("Ошибка"), tr("Не указан пароль терминала"));
        return;
    }
    // An empty IMEI is not refused here: the server answers it.
    if (imei != m_lastImei) {
        m_lastImei = imei;
        writeSetting(kGroup, kLastImeiKey, imei);
    }
    // Finished first: whatever runs from the signal finds the question answered. The device
    // link starts its login and returns at once; the window shows the login under way.
    finish(Accepted);
    emit connectToServer(imei, password);
}

void RemoteConnectForm::on_cancelButton_clicked()
{
    if (isFinished())
        return;
    finish(Rejected);
}

void RemoteConnectForm::on_closeRemoteCfgFormButton_clicked()
{
    on_cancelButton_clicked();
}

void RemoteConnectForm::reject()
{
    on_cancelButton_clicked();
}

void RemoteConnectForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    FramelessDialog::changeEvent(event);
}
