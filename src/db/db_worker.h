#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

class QSqlTableModel;

// A row of the "gprsList" table: five texts, columns 0 to 4.
struct GPRS_CONFIG
{
    QString field0, field1, field2, field3, field4;
};

// A row of the "gpsList" table: four texts, columns 0 to 3.
struct GPS_CONFIG
{
    QString field0, field1, field2, field3;
};

// Read-only access to "devices.db" in the program folder: which firmware group a reader's
// firmware belongs to, the group's read commands and form elements, and the status bit names.
// Every call is synchronous and runs on the GUI thread.
class DB_Worker : public QObject
{
    Q_OBJECT
public:
    explicit DB_Worker(QObject *parent = nullptr);
    ~DB_Worker() override;

    static QString databasePath();
    bool isGroupSelected() const { return m_groupSelected; }

    // The firmware version ranges of a model table, e.g. "1.0.0-1.2.0", matched against a
    // version; the index of the matching row (the last one when several match), or, when the
    // version is newer than every listed version, the first row that names the highest version
    // as its lowest or highest version. -1 when the version is not covered.
    static int matchFirmwareRow(const QStringList &ranges, const QString &version,
                                QString *selectedLast = nullptr);

    // A text of the database (a choice of a form list, a status bit's name or value) as the
    // interface shows it: through the translator, all in the one context
    // "DeviceDatabase", which scripts/update-translations.sh fills from data/devices.sql. The
    // stored text stays what the program compares and keeps.
    static QString shownText(const QString &stored);

public slots:
    bool checkDb();
    QString getFwGroup(QString curFwVer, QString devId);
    void setCurrentFwGroup(QString fwGroup);
    void setCurrentFwGrouplbl(QString fwGroup);
    bool checkSupportedCmd(int cmd);
    bool checkSupportPage(QString pageName);
    QList<int> getCommandList();
    QList<QString> getCommandListlbl();
    QStringList getFormElements(QString pageName);
    QList<GPRS_CONFIG> getProviderList();
    QList<GPS_CONFIG> getGpsList();
    QMap<int, QStringList> getStatusBits();
    void closeDb();
    // The bus table's questions about a reader that answered a scan, asked without disturbing
    // the firmware group selected for the session: the database's name for a device id (its
    // model table, "zemo220"), empty when it has none; and whether it knows this firmware of
    // that device (a range of the model table covers it, as for a read).
    QString deviceName(int devId);
    bool knowsFirmware(const QString &version, int devId);

private:
    bool openForGroup(); // opens the database if needed; logs "DB Error: " on failure
    // On the open database: what is wrong with the firmware ranges of the model tables (a
    // group table they name is missing), empty when nothing is.
    QString missingGroupTable() const;
    void replaceGroupModel(const QString &table);

    QSqlDatabase m_db;
    QSqlTableModel *m_groupModel = nullptr;
    bool m_groupSelected = false;
    QList<int> m_commandList;
    QList<QString> m_labelList;
};

Q_DECLARE_METATYPE(GPRS_CONFIG)
Q_DECLARE_METATYPE(GPS_CONFIG)
