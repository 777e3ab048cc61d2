#pragma once

#include "busreader.h"

#include <QAbstractTableModel>
#include <QList>

struct ReaderStatus;

// The readers of the bus as a table: one row per reader (address and speed), in the order
// they answered. The scan adds rows as readers answer; the watch fills in what it sees.
class BusTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        AddressColumn,
        BaudColumn,
        DeviceColumn,
        FirmwareColumn,
        SupportedColumn,
        AnswerColumn,
        DamagedColumn,
        CounterColumn,
        UptimeColumn,
        LastAnswerColumn,
        ErrorsColumn,
        ColumnCount
    };
    // The watch saw errors on the row's reader (bool), for the view to mark it.
    static constexpr int LineSuspectRole = Qt::UserRole + 1;
    // The first of the watch's columns: the view may hide them until the watch has run.
    static constexpr int FirstWatchColumn = CounterColumn;

    explicit BusTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    QList<BusReader> readers() const { return m_readers; }
    BusReader reader(int row) const { return m_readers.value(row); }
    // The row of the reader at this address and speed, -1 when it is not listed.
    int rowOf(int address, int baud) const;
    // A reader that answered: a new row at the end, or the row it already has brought up to
    // date (the watch's figures stay). Returns its row.
    int addReader(const BusReader &reader);
    // A reader that now answers elsewhere (a commissioning run gave it a new address or speed):
    // its row, if listed at the old place, moves there with what the reader says of itself now;
    // a row already at the new place stands for it alone. Returns its row.
    int moveReader(int address, int baud, const BusReader &now);
    // What the watch saw of a listed reader; false when it is not listed.
    bool applyStatus(const ReaderStatus &status);
    // The watch starts afresh: its figures are cleared, the rows stay.
    void clearWatch();
    void clear();

private:
    QString cellText(const BusReader &reader, int column) const;

    QList<BusReader> m_readers;
};
