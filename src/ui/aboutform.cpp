#include "aboutform.h"
#include "ui_aboutform.h"

#include "updatemanifest.h"

#include <QEvent>
#include <QSignalBlocker>

AboutForm::AboutForm(QWidget *parent, const QString &version)
    : FramelessDialog(parent)
    , ui(new Ui::AboutForm)
    , m_version(version)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    // A build from the repository trusts the test key, whose private half is no secret: its
    // about box says so, below the language, and is taller by that line.
    if (UpdateManifest::trustsTestKey()) {
        const int extra = ui->trustedKeyText->height() + 6;
        setFixedHeight(height() + extra);
        ui->okPushButton->move(ui->okPushButton->x(), ui->okPushButton->y() + extra);
    } else {
        ui->trustedKeyText->hide();
    }

    // Each language is named in its own words, so these names are never translated.
    ui->languageComboBox->addItem(QIcon(QStringLiteral(":/pict/flags/Russia.png")),
                                  QStringLiteral("Русский"), QStringLiteral("ru"));
    ui->languageComboBox->addItem(QIcon(QStringLiteral(":/pict/flags/English.png")),
                                  QStringLiteral("English"), QStringLiteral("en"));
    connect(ui->languageComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &AboutForm::langChanged);
    retranslate();
}

AboutForm::~AboutForm()
{
    delete ui;
}

void AboutForm::selectLanguage(const QString &code)
{
    const QSignalBlocker blocker(ui->languageComboBox);
    ui->languageComboBox->setCurrentIndex(ui->languageComboBox->findData(code));
}

void AboutForm::langChanged()
{
    const QString code = ui->languageComboBox->currentData().toString();
    if (!code.isEmpty())
        emit changeLanguage(code);
}

void AboutForm::on_okPushButton_clicked()
{
    finish(Accepted);
}

void AboutForm::on_closeAboutFormButton_clicked()
{
    on_okPushButton_clicked();
}

void AboutForm::reject()
{
    on_okPushButton_clicked();
}

void AboutForm::retranslate()
{
    ui->aboutText->setText(tr("Конфигуратор считывателей Земо220\nВерсия ") + m_version);
    if (UpdateManifest::trustsTestKey())
        ui->trustedKeyText->setText(tr("Устанавливает обновления, подписанные тестовым ключом"));
}

void AboutForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslate();
    }
    FramelessDialog::changeEvent(event);
}
