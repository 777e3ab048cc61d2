#include "commissionform.h"

#include "configurationfile.h"
#include "prompter.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const int kWidth = 470;
const int kHeight = 400;

template<typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QSpinBox *addressSpin(const char *name, int value)
{
    auto *spin = named(new QSpinBox, name);
    spin->setRange(1, 254);
    spin->setValue(value);
    return spin;
}
} // namespace

CommissionForm::CommissionForm(QWidget *parent, const Prompter *prompter,
                               const QList<CommissionTarget> &selected, const QByteArray &formXml,
                               const QStringList &speeds)
    : FramelessDialog(parent)
    , m_prompter(prompter)
    , m_selected(selected)
    , m_formXml(formXml)
{
    setObjectName(QStringLiteral("CommissionForm"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kWidth, kHeight);
    setWindowTitle(tr("Ввод в работу"));

    // The title strip every dialog of the configurator has.
    auto *titleWidget = named(new QWidget(this), "commissionFormTitleWidget");
    titleWidget->setGeometry(0, 0, kWidth, 24);
    auto *title = named(new QLabel(tr("    Ввод в работу"), titleWidget),
                        "commissionFormTitleLabel");
    title->setGeometry(1, 1, kWidth - 32, 22);
    auto *close = named(new QPushButton(titleWidget), "closeCommissionFormButton");
    close->setGeometry(kWidth - 23, 1, 22, 22);
    close->setFocusPolicy(Qt::NoFocus);
    close->setIcon(QIcon(QStringLiteral(":/pict/svg/close.svg")));
    connect(close, &QPushButton::clicked, this, &CommissionForm::reject);

    auto *body = new QWidget(this);
    body->setGeometry(12, 30, kWidth - 24, kHeight - 38);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    // The template.
    layout->addWidget(new QLabel(tr("Шаблон настроек:")));
    auto *fileRow = new QHBoxLayout;
    m_templateFile = named(new QRadioButton(tr("Файл")), "templateFileRadio");
    m_templatePath = named(new QLineEdit, "templateFileEdit");
    m_templateButton = named(new QPushButton(tr("Обзор...")), "templateFileButton");
    fileRow->addWidget(m_templateFile);
    fileRow->addWidget(m_templatePath, 1);
    fileRow->addWidget(m_templateButton);
    layout->addLayout(fileRow);
    m_templateForm = named(new QRadioButton(tr("Форма как есть")), "templateFormRadio");
    layout->addWidget(m_templateForm);
    auto *templates = new QButtonGroup(this);
    templates->addButton(m_templateFile);
    templates->addButton(m_templateForm);
    m_templateForm->setEnabled(!m_formXml.isEmpty());
    (m_formXml.isEmpty() ? m_templateFile : m_templateForm)->setChecked(true);

    // The readers.
    layout->addWidget(new QLabel(tr("Считыватели:")));
    m_targetsSelected = named(new QRadioButton(tr("Выбранные в таблице: %1").arg(selected.size())),
                              "targetsSelectedRadio");
    m_targetsAssign = named(new QRadioButton(tr("Новые, по одному: назначение адресов")),
                            "targetsAssignRadio");
    auto *targets = new QButtonGroup(this);
    targets->addButton(m_targetsSelected);
    targets->addButton(m_targetsAssign);
    m_targetsSelected->setEnabled(!selected.isEmpty());
    (selected.isEmpty() ? m_targetsAssign : m_targetsSelected)->setChecked(true);
    layout->addWidget(m_targetsSelected);
    layout->addWidget(m_targetsAssign);
    auto *assign = new QFormLayout;
    assign->setContentsMargins(24, 0, 0, 0);
    m_factoryAddress = addressSpin("factoryAddressSpin", 1);
    m_factoryBaud = named(new QComboBox, "factoryBaudCombo");
    m_factoryBaud->addItems(speeds);
    m_factoryBaud->setCurrentText(QStringLiteral("19200"));
    auto *factoryRow = new QHBoxLayout;
    factoryRow->addWidget(m_factoryAddress);
    factoryRow->addWidget(m_factoryBaud);
    assign->addRow(tr("Заводской адрес и скорость:"), factoryRow);
    m_firstAddress = addressSpin("firstAddressSpin", 11);
    m_lastAddress = addressSpin("lastAddressSpin", 40);
    auto *rangeRow = new QHBoxLayout;
    rangeRow->addWidget(m_firstAddress);
    rangeRow->addWidget(new QLabel(tr("по")));
    rangeRow->addWidget(m_lastAddress);
    assign->addRow(tr("Новые адреса с:"), rangeRow);
    layout->addLayout(assign);

    // Firmware and note.
    auto *more = new QFormLayout;
    auto *firmwareRow = new QHBoxLayout;
    m_firmwarePath = named(new QLineEdit, "firmwareEdit");
    m_firmwarePath->setPlaceholderText(tr("не обновлять"));
    auto *firmwareButton = named(new QPushButton(tr("Обзор...")), "firmwareButton");
    firmwareRow->addWidget(m_firmwarePath, 1);
    firmwareRow->addWidget(firmwareButton);
    more->addRow(tr("Прошивка:"), firmwareRow);
    m_note = named(new QLineEdit, "noteEdit");
    more->addRow(tr("Примечание:"), m_note);
    layout->addLayout(more);

    m_error = named(new QLabel, "commissionErrorLabel");
    m_error->setWordWrap(true);
    layout->addWidget(m_error, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_start = named(new QPushButton(tr("Начать")), "startCommissionButton");
    auto *cancel = named(new QPushButton(tr("Отмена")), "cancelCommissionButton");
    buttons->addWidget(m_start);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_templateButton, &QPushButton::clicked, this,
            [this] { chooseFile(m_templatePath, tr("Шаблон настроек"), tr("XML Files (*.xml)")); });
    connect(firmwareButton, &QPushButton::clicked, this,
            [this] { chooseFile(m_firmwarePath, tr("Файл прошивки"), QString()); });
    connect(m_templateFile, &QRadioButton::toggled, this, &CommissionForm::updateControls);
    connect(m_targetsAssign, &QRadioButton::toggled, this, &CommissionForm::updateControls);
    connect(m_start, &QPushButton::clicked, this, [this] {
        if (!isFinished())
            emit startRequested();
    });
    connect(cancel, &QPushButton::clicked, this, &CommissionForm::reject);
    updateControls();
}

void CommissionForm::updateControls()
{
    m_templatePath->setEnabled(m_templateFile->isChecked());
    m_templateButton->setEnabled(m_templateFile->isChecked());
    const bool assign = m_targetsAssign->isChecked();
    for (QWidget *w :
         {static_cast<QWidget *>(m_factoryAddress), static_cast<QWidget *>(m_factoryBaud),
          static_cast<QWidget *>(m_firstAddress), static_cast<QWidget *>(m_lastAddress)})
        w->setEnabled(assign);
}

void CommissionForm::chooseFile(QLineEdit *field, const QString &title, const QString &filter)
{
    FileRequest request;
    request.kind = FileRequest::Open;
    request.parent = this;
    request.title = title;
    request.filter = filter;
    const QString name = m_prompter ? m_prompter->fileName(request) : QString();
    if (!name.isEmpty())
        field->setText(name);
}

bool CommissionForm::options(CommissionOptions *options, QString *error) const
{
    CommissionOptions o;
    if (m_templateForm->isChecked()) {
        o.templateXml = m_formXml;
        o.templateName = QStringLiteral("form");
    } else {
        const QString path = m_templatePath->text().trimmed();
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
            *error = tr("Файл шаблона не читается: %1").arg(path);
            return false;
        }
        // A template is a few hundred bytes: one larger than a configuration file can be is
        // refused as such without being read whole.
        o.templateXml = file.read(ConfigurationFile::MaxBytes + 1);
        o.templateName = QFileInfo(path).fileName();
    }
    if (m_targetsAssign->isChecked()) {
        o.mode = CommissionOptions::Assign;
        o.factoryAddress = m_factoryAddress->value();
        o.factoryBaud = m_factoryBaud->currentText().toInt();
        o.firstAddress = m_firstAddress->value();
        o.lastAddress = m_lastAddress->value();
    } else {
        o.mode = CommissionOptions::Selected;
        o.targets = m_selected;
    }
    o.firmwarePath = m_firmwarePath->text().trimmed();
    o.note = m_note->text();
    *options = o;
    return true;
}

void CommissionForm::showError(const QString &text)
{
    m_error->setText(text);
}

void CommissionForm::started()
{
    finish(Accepted);
}

void CommissionForm::reject()
{
    if (!isFinished())
        finish(Rejected);
}
