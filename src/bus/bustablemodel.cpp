#include "bustablemodel.h"

#include "readerstatus.h"

BusTableModel::BusTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int BusTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_readers.size();
}

int BusTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString BusTableModel::cellText(const BusReader &reader, int column) const
{
    switch (column) {
    case AddressColumn:
        return QString::number(reader.address);
    case BaudColumn:
        return QString::number(reader.baud);
    case DeviceColumn:
        // A device the database does not know is shown by its id.
        return reader.deviceName.isEmpty() ? QString::number(reader.deviceId) : reader.deviceName;
    case FirmwareColumn:
        return reader.firmware;
    case SupportedColumn:
        return reader.supported ? tr("да") : tr("нет");
    case AnswerColumn:
        return reader.answerMs >= 0 ? QString::number(reader.answerMs) : QString();
    case DamagedColumn:
        return QString::number(reader.damaged);
    case CounterColumn:
        return reader.hasCounter ? QString::number(reader.counter) : QString();
    case UptimeColumn:
        return reader.hasUptime ? QString::number(reader.uptime) : QString();
    case LastAnswerColumn:
        if (reader.looks == 0)
            return QString();
        return reader.lastAnswerMs >= 0 ? QString::number(reader.lastAnswerMs) : tr("нет ответа");
    case ErrorsColumn:
        return reader.looks > 0 ? QString::number(reader.watchErrors()) : QString();
    default:
        return QString();
    }
}

QVariant BusTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_readers.size() || index.column() >= ColumnCount)
        return QVariant();
    const BusReader &reader = m_readers.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(reader, index.column());
    case Qt::TextAlignmentRole:
        if (index.column() == DeviceColumn || index.column() == FirmwareColumn
            || index.column() == SupportedColumn)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (index.column() == ErrorsColumn && reader.looks > 0)
            return tr("Без ответа: %1, искажённых ответов: %2, опросов: %3")
                    .arg(reader.watchSilent)
                    .arg(reader.watchDamaged)
                    .arg(reader.looks);
        if (index.column() == DeviceColumn)
            return tr("Код устройства %1").arg(reader.deviceId);
        return QVariant();
    case LineSuspectRole:
        return reader.lineSuspect();
    default:
        return QVariant();
    }
}

QVariant BusTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    switch (section) {
    case AddressColumn:
        return tr("Адрес");
    case BaudColumn:
        return tr("Скорость");
    case DeviceColumn:
        return tr("Устройство");
    case FirmwareColumn:
        return tr("Прошивка");
    case SupportedColumn:
        return tr("Поддержка");
    case AnswerColumn:
        return tr("Ответ, мс");
    case DamagedColumn:
        return tr("Искажено");
    case CounterColumn:
        return tr("Счётчик");
    case UptimeColumn:
        return tr("Время работы");
    case LastAnswerColumn:
        return tr("Посл. ответ, мс");
    case ErrorsColumn:
        return tr("Ошибки");
    default:
        return QVariant();
    }
}

int BusTableModel::rowOf(int address, int baud) const
{
    for (int row = 0; row < m_readers.size(); ++row) {
        if (m_readers.at(row).address == address && m_readers.at(row).baud == baud)
            return row;
    }
    return -1;
}

int BusTableModel::addReader(const BusReader &reader)
{
    const int row = rowOf(reader.address, reader.baud);
    if (row < 0) {
        beginInsertRows(QModelIndex(), m_readers.size(), m_readers.size());
        m_readers.append(reader);
        endInsertRows();
        return m_readers.size() - 1;
    }
    // Found again: what it says of itself now, what the watch saw stays.
    BusReader &known = m_readers[row];
    known.deviceId = reader.deviceId;
    known.deviceName = reader.deviceName;
    known.firmware = reader.firmware;
    known.supported = reader.supported;
    known.answerMs = reader.answerMs;
    known.damaged = reader.damaged;
    emit dataChanged(index(row, 0), index(row, FirstWatchColumn - 1));
    return row;
}

int BusTableModel::moveReader(int address, int baud, const BusReader &now)
{
    const int old = rowOf(address, baud);
    if (old >= 0 && rowOf(now.address, now.baud) < 0) {
        BusReader &reader = m_readers[old];
        reader.address = now.address;
        reader.baud = now.baud;
        emit dataChanged(index(old, 0), index(old, ColumnCount - 1));
    } else if (old >= 0 && (address != now.address || baud != now.baud)) {
        beginRemoveRows(QModelIndex(), old, old);
        m_readers.removeAt(old);
        endRemoveRows();
    }
    return addReader(now);
}

bool BusTableModel::applyStatus(const ReaderStatus &status)
{
    const int row = rowOf(status.address, status.baud);
    if (row < 0)
        return false;
    BusReader &reader = m_readers[row];
    ++reader.looks;
    // A value the reader did not give this time keeps the last one it gave.
    if (status.hasCounter) {
        reader.hasCounter = true;
        reader.counter = status.counter;
    }
    if (status.hasUptime) {
        reader.hasUptime = true;
        reader.uptime = status.uptime;
    }
    reader.lastAnswerMs = status.answered() ? status.answerMs : -1;
    reader.watchDamaged += status.damaged;
    reader.watchSilent += status.silent;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    return true;
}

void BusTableModel::clearWatch()
{
    if (m_readers.isEmpty())
        return;
    for (BusReader &reader : m_readers) {
        reader.looks = 0;
        reader.hasCounter = false;
        reader.counter = 0;
        reader.hasUptime = false;
        reader.uptime = 0;
        reader.lastAnswerMs = -1;
        reader.watchDamaged = 0;
        reader.watchSilent = 0;
    }
    emit dataChanged(index(0, 0), index(m_readers.size() - 1, ColumnCount - 1));
}

void BusTableModel::clear()
{
    if (m_readers.isEmpty())
        return;
    beginResetModel();
    m_readers.clear();
    endResetModel();
}
