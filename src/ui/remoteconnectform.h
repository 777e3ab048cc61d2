#pragma once

#include "framelessdialog.h"
#include "prompter.h"

namespace Ui {
class RemoteConnectForm;
}

// The login to a remote terminal through the configuration server: the terminal's IMEI and
// password. The last IMEI used is offered again ("RemConf/lastImei" in settings.conf). Made anew
// for each connection attempt; it deletes itself when connect, cancel or close is pressed.
class RemoteConnectForm : public FramelessDialog
{
    Q_OBJECT
public:
    explicit RemoteConnectForm(QWidget *parent = nullptr);
    ~RemoteConnectForm() override;

signals:
    void connectToServer(QString imei, QString password);

public slots:
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_connectButton_clicked();
    void on_cancelButton_clicked();
    void on_closeRemoteCfgFormButton_clicked();

private:
    Ui::RemoteConnectForm *ui;
    Prompter m_prompter;
    QString m_lastImei;
};
