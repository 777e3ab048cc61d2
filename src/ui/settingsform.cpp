#include "settingsform.h"
#include "ui_settingsform.h"

#include "settings.h"

#include <QEvent>
#include <QSettings>

namespace {
const char *const kStatusKey = "Survey/Status";
const char *const kFlsKey = "Survey/FLS";
} // namespace

SettingsForm::SettingsForm(QWidget *parent)
    : FramelessDialog(parent)
    , ui(new Ui::SettingsForm)
    , m_settings(new QSettings(settingsFilePath(), QSettings::IniFormat, this))
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);

    const QVariant status = m_settings->value(kStatusKey);
    if (status.isNull()) {
        // Polling is on unless the engineer switched it off; the default is stored at once so
        // that the file shows the choice.
        m_settings->setValue(kStatusKey, true);
        m_settings->sync();
    } else {
        m_statusRefresh = status.toBool();
    }
    m_flsRefresh = m_settings->value(kFlsKey, false).toBool();
    showStoredChoices();
}

SettingsForm::~SettingsForm()
{
    delete ui;
}

void SettingsForm::showSettings()
{
    showStoredChoices();
    show();
    activateWindow();
}

void SettingsForm::showStoredChoices()
{
    ui->statusCheckBox->setChecked(m_statusRefresh);
    ui->flsCheckBox->setChecked(m_flsRefresh);
}

void SettingsForm::on_saveButton_clicked()
{
    m_statusRefresh = ui->statusCheckBox->isChecked();
    m_flsRefresh = ui->flsCheckBox->isChecked();
    m_settings->setValue(kStatusKey, m_statusRefresh);
    m_settings->setValue(kFlsKey, m_flsRefresh);
    m_settings->sync();
    hide();
    emit refreshStatusChanged(m_statusRefresh);
}

void SettingsForm::on_cancelButton_clicked()
{
    showStoredChoices();
    hide();
}

void SettingsForm::on_closeSettingsFormButton_clicked()
{
    on_cancelButton_clicked();
}

void SettingsForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    FramelessDialog::changeEvent(event);
}
