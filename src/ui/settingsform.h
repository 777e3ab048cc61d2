#pragma once

#include "framelessdialog.h"
#include "prompter.h"

class QSettings;

namespace Ui {
class SettingsForm;
}

// The configurator's preferences: status polling of a connected reader ("Survey/Status",
// on unless switched off) and fuel-level-sensor polling ("Survey/FLS"). Built once by the main
// window and kept for the whole run; the dialog is shown on request and hidden again.
class SettingsForm : public FramelessDialog
{
    Q_OBJECT
public:
    explicit SettingsForm(QWidget *parent = nullptr);
    ~SettingsForm() override;

    bool statusRefresh() const { return m_statusRefresh; }
    bool flsRefresh() const { return m_flsRefresh; }

public slots:
    // Shows the dialog with the stored choices (application-modal, without blocking).
    void showSettings();

signals:
    void refreshStatusChanged(bool on);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_saveButton_clicked();
    void on_cancelButton_clicked();
    void on_closeSettingsFormButton_clicked();

private:
    void showStoredChoices();

    Ui::SettingsForm *ui;
    QSettings *m_settings;
    Prompter m_prompter; // tells of a choice that could not be stored
    bool m_statusRefresh = true;
    bool m_flsRefresh = false;
};
