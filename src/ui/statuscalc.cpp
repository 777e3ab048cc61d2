#include "statuscalc.h"
#include "ui_statuscalc.h"

#include <QCheckBox>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRegularExpressionValidator>

namespace {
const char *const kHexPattern = "^[a-fA-F0-9]{0,8}";
const char *const kDecPattern = "^[0-9]{0,10}";
const QString kEventCellPrefix = QStringLiteral("bitN_");
} // namespace

StatusCalc::StatusCalc(QWidget *parent, QString code, quint32 eventMask)
    : FramelessDialog(parent)
    , ui(new Ui::StatusCalc)
    , m_eventMask(eventMask)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setColumnWidths();
    ui->statusCode->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QLatin1String(kHexPattern)),
                                            ui->statusCode));
    if (!code.isEmpty())
        ui->statusCode->setText(code);
    ui->decryptButton->setFocus();
    connect(ui->statusCode, &QLineEdit::editingFinished, ui->decryptButton,
            [this] { ui->decryptButton->setFocus(); });
    connect(ui->hexRadioButton, &QRadioButton::clicked, this, &StatusCalc::typeValueChanged);
    connect(ui->decRadioButton, &QRadioButton::clicked, this, &StatusCalc::typeValueChanged);
}

StatusCalc::~StatusCalc()
{
    delete ui;
}

void StatusCalc::setColumnWidths()
{
    // Rows of 20 pixels, also when a style asks for more; the event column takes the width left.
    ui->tableWidget->verticalHeader()->setMinimumSectionSize(20);
    ui->tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->tableWidget->verticalHeader()->setDefaultSectionSize(20);
    ui->tableWidget->horizontalHeader()->setStretchLastSection(true);
    ui->tableWidget->setColumnWidth(0, 220);
    ui->tableWidget->setColumnWidth(1, 150);
    ui->tableWidget->setColumnWidth(2, 78);
}

void StatusCalc::typeValueChanged()
{
    // The text stays as typed: switching the base changes how it is read, not what it says.
    const char *pattern = ui->hexRadioButton->isChecked() ? kHexPattern : kDecPattern;
    ui->statusCode->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QLatin1String(pattern)),
                                            ui->statusCode));
}

void StatusCalc::decryptStatus()
{
    m_currentRow = 0;
    bool isNumber = false;
    const quint32 value = StatusWord::parse(ui->statusCode->text(), ui->hexRadioButton->isChecked(),
                                            &isNumber);
    const QMap<int, QStringList> bits = emit getStatusBits();
    // A text that is no number of the chosen base (hexadecimal digits after a switch to DEC, a
    // decimal number above 32 bits) shows no rows: read as 0 it would claim every bit cleared.
    const QVector<StatusWord::Row> rows = isNumber ? StatusWord::decode(value, m_supportMask, bits,
                                                                        m_service)
                                                   : QVector<StatusWord::Row>();

    // One row per shown bit. Rows of an earlier decode are reused together with their check
    // boxes; a row that now shows another bit gets that bit's check box.
    ui->tableWidget->setRowCount(rows.size());
    for (const StatusWord::Row &row : rows) {
        addRows(0, row.name, row.bit);
        addRows(1, row.value, row.bit);
        ++m_currentRow;
    }
    setCheckBoxses();
    ui->tableWidget->resizeColumnsToContents();
}

// The event cell of a bit in the rows the table holds now. Cells of replaced or removed rows
// are deleted later by the table, so they are not looked up by name among all children.
QWidget *StatusCalc::eventCell(int bitNum) const
{
    const QString name = kEventCellPrefix + QString::number(bitNum);
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        QWidget *cell = ui->tableWidget->cellWidget(row, 2);
        if (cell && cell->objectName() == name)
            return cell;
    }
    return nullptr;
}

void StatusCalc::addRows(int col, QString txt, int bitNum)
{
    ui->tableWidget->setItem(m_currentRow, col, new QTableWidgetItem(txt));
    if (col != 0)
        return;
    const QString name = kEventCellPrefix + QString::number(bitNum);
    QWidget *cell = ui->tableWidget->cellWidget(m_currentRow, 2);
    if (cell && cell->objectName() == name)
        return;
    // The bit moved to this row (another support mask): its old cell stays behind nameless
    // until its row is given another bit or removed.
    if (QWidget *elsewhere = eventCell(bitNum))
        elsewhere->setObjectName(QString());
    cell = new QWidget;
    cell->setObjectName(name);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    auto *box = new QCheckBox(cell);
    layout->addWidget(box);
    connect(box, &QCheckBox::clicked, this, &StatusCalc::changeStatusMask);
    ui->tableWidget->setCellWidget(m_currentRow, 2, cell);
}

void StatusCalc::setCheckBoxses()
{
    for (int i = 0; i < 32; ++i) {
        if (QWidget *cell = eventCell(i)) {
            if (auto *box = cell->findChild<QCheckBox *>())
                box->setChecked(m_eventMask & (1u << i));
        }
    }
}

void StatusCalc::changeStatusMask()
{
    for (int i = 0; i < 32; ++i) {
        QWidget *cell = eventCell(i);
        auto *box = cell ? cell->findChild<QCheckBox *>() : nullptr;
        if (!box)
            continue;
        if (box->isChecked())
            m_eventMask |= 1u << i;
        else
            m_eventMask &= ~(1u << i);
    }
}

void StatusCalc::on_decryptButton_clicked()
{
    decryptStatus();
}

void StatusCalc::on_refreshStatusButton_clicked()
{
    emit getStatusCode();
}

void StatusCalc::updateStatusCode(QString statusCode)
{
    if (!statusCode.isEmpty()) {
        ui->hexRadioButton->setChecked(true);
        typeValueChanged();
        ui->statusCode->setText(statusCode);
    }
    decryptStatus();
}

void StatusCalc::setSupportStatusMask(int statMask)
{
    m_supportMask = static_cast<quint32>(statMask);
    qDebug().noquote() << "Support status mask: " << QString::number(m_supportMask);
}

void StatusCalc::setServSettings(bool _main, bool _alt)
{
    m_service.main = _main;
    m_service.alt = _alt;
}

void StatusCalc::on_closeStatusCalcButton_clicked()
{
    close(); // through reject(), like the Escape key
}

void StatusCalc::reject()
{
    // The event marks go back to the window once, however the dialog is closed.
    if (!m_closing) {
        m_closing = true;
        emit updateStatusMask(m_eventMask);
    }
    FramelessDialog::reject();
}

void StatusCalc::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        if (ui->tableWidget->rowCount() > 0)
            decryptStatus(); // the value texts of the service bits are ours to translate
    }
    FramelessDialog::changeEvent(event);
}
