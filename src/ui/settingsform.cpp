#include "settingsform.h"
#include "ui_settingsform.h"

#include "settings.h"

#include <QDebug>
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
    // Written through an object of its own: a settings object keeps the first error it met for
    // its whole life, and this one must tell whether this save reached the file.
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    settings.setValue(kStatusKey, m_statusRefresh);
    settings.setValue(kFlsKey, m_flsRefresh);
    settings.sync();
    const bool saved = settings.status() == QSettings::NoError;
    hide();
    // The choice holds for this run all the same; the engineer learns that it will not hold
    // for the next one.
    emit refreshStatusChanged(m_statusRefresh);
    if (!saved) {
        qDebug().noquote() << "/C:12"
                           << "Settings not saved: " + settingsFilePath();
        m_prompter.critical(parentWidget(), tr("Ошибка"),
                            tr("Настройки не сохранены в settings.conf и действуют только до "
                               "закрытия конфигуратора."));
    }
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
