#include "db_worker.h"

#include "apppaths.h"
#include "versioncompare.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

// A table model reads rows in batches; our callers want every row.
void fetchAll(QSqlTableModel *model)
{
    while (model->canFetchMore())
        model->fetchMore();
}

QString cellText(const QSqlTableModel *model, int row, int column)
{
    return model->record(row).value(column).toString();
}

bool cellIsNull(const QSqlTableModel *model, int row, int column)
{
    return model->record(row).isNull(column);
}

} // namespace

DB_Worker::DB_Worker(QObject *parent)
    : QObject(parent)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
}

DB_Worker::~DB_Worker()
{
    delete m_groupModel;
    m_groupModel = nullptr;
    const QString name = m_db.connectionName();
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QString DB_Worker::shownText(const QString &stored)
{
    return QCoreApplication::translate("DeviceDatabase", stored.toUtf8().constData());
}

QString DB_Worker::databasePath()
{
    return AppPaths::filePath(QStringLiteral("devices.db"));
}

bool DB_Worker::checkDb()
{
    if (!QFile::exists(databasePath())) {
        qDebug().noquote() << "Database NOT exists.";
        return false;
    }
    m_db.setDatabaseName(databasePath());
    if (!m_db.isValid()) {
        qDebug().noquote() << "DB Error: " << m_db.lastError().text();
        return false;
    }
    if (!m_db.open()) {
        qDebug().noquote() << "Error open DB." << m_db.lastError().text();
        return false;
    }

    // SQLite opens garbage and damaged files without complaint, and the integrity check runs on
    // a damaged file too, returning rows that describe the damage: only its single row "ok"
    // proves the file sound.
    bool result = false;
    {
        QSqlQuery query(m_db);
        if (query.exec(QStringLiteral("PRAGMA integrity_check;"))) {
            QStringList rows;
            while (query.next())
                rows << query.value(0).toString();
            if (rows == QStringList {QStringLiteral("ok")}) {
                // An empty file is a sound but empty database: no devices database either.
                QSqlQuery tables(m_db);
                QString damage;
                if (!tables.exec(QStringLiteral(
                            "SELECT count(*) FROM sqlite_master WHERE type = 'table';"))
                    || !tables.next() || tables.value(0).toInt() == 0)
                    damage = QStringLiteral("the database holds no tables");
                else
                    damage = missingGroupTable();
                if (damage.isEmpty()) {
                    qDebug().noquote() << "/C:17"
                                       << "DB check OK";
                    result = true;
                } else {
                    qDebug().noquote() << "Error DB! " << damage;
                }
            } else {
                qDebug().noquote() << "Error DB! " << rows.join(QStringLiteral("; "));
            }
        } else {
            qDebug().noquote() << "Error DB! " << query.lastError().text();
        }
    }
    m_db.close();
    return result;
}

QString DB_Worker::missingGroupTable() const
{
    // A model table names a group table in each firmware range row; a range whose group table
    // is not there would be taken for a firmware without read commands and form choices.
    static const QRegularExpression modelTable(QStringLiteral("^zemo[0-9]+(v[0-9]+)?$"));
    const QStringList tables = m_db.tables();
    for (const QString &table : tables) {
        if (!modelTable.match(table).hasMatch())
            continue;
        QSqlQuery rows(m_db);
        if (!rows.exec(QStringLiteral("SELECT * FROM \"%1\";").arg(table)))
            return QStringLiteral("model table not readable: ") + table + QStringLiteral(": ")
                   + rows.lastError().text();
        while (rows.next()) {
            if (rows.isNull(0) || rows.isNull(1))
                continue;
            const QString group = rows.value(1).toString();
            if (!tables.contains(group, Qt::CaseInsensitive))
                return QStringLiteral("firmware group table missing: ") + group
                       + QStringLiteral(" (table ") + table + QStringLiteral(", range ")
                       + rows.value(0).toString() + QLatin1Char(')');
        }
    }
    return QString();
}

int DB_Worker::matchFirmwareRow(const QStringList &ranges, const QString &version,
                                QString *selectedLast)
{
    int matched = -1;
    QStringList allVersions;
    QList<QPair<QString, QString>> bounds;
    for (int row = 0; row < ranges.size(); ++row) {
        const QStringList parts = ranges.at(row).split(QLatin1Char('-'));
        const QString min = parts.value(0);
        const QString max = parts.value(1);
        bounds.append({min, max});
        if (ranges.at(row).isNull())
            continue;
        allVersions << min << max;
        if (VersionCompare::compare(version, min) == 0
            || VersionCompare::compare(version, max) == 0) {
            qDebug().noquote() << "/C:10"
                               << "cur fw found explicitly!";
            matched = row;
        } else if (VersionCompare::compare(min, version) < 0
                   && VersionCompare::compare(version, max) < 0) {
            qDebug().noquote() << "/C:10"
                               << "cur fw found in range!";
            matched = row;
        }
    }
    if (matched >= 0 || allVersions.isEmpty())
        return matched;

    VersionCompare::sort(allVersions);
    const QString highest = allVersions.last();
    if (VersionCompare::compare(highest, version) >= 0)
        return -1;
    qDebug().noquote() << "SELECTED LAST FW IN DB: " << highest;
    if (selectedLast)
        *selectedLast = highest;
    for (int row = 0; row < bounds.size(); ++row) {
        if (ranges.at(row).isNull())
            continue;
        if (VersionCompare::compare(bounds.at(row).first, highest) == 0
            || VersionCompare::compare(bounds.at(row).second, highest) == 0)
            return row;
    }
    return -1;
}

QString DB_Worker::getFwGroup(QString curFwVer, QString devId)
{
    m_commandList.clear();
    m_labelList.clear();
    if (!m_db.isOpen() && !m_db.open()) {
        qDebug().noquote() << "DB Error: " << m_db.lastError().text();
        return QString();
    }
    qDebug().noquote() << "DataBase open OK";

    const QString table = QStringLiteral("zemo") + devId;
    QSqlTableModel model(nullptr, m_db);
    model.setTable(table);
    qDebug().noquote() << "Set model device: " << table;
    if (!model.select()) {
        qDebug().noquote() << "/C:12"
                           << "Set model ERROR!";
        m_db.close();
        return QString();
    }
    qDebug().noquote() << "Set model OK!";
    fetchAll(&model);

    QStringList ranges;
    for (int row = 0; row < model.rowCount(); ++row)
        ranges << (cellIsNull(&model, row, 0) ? QString() : cellText(&model, row, 0));

    QString group;
    const int row = matchFirmwareRow(ranges, curFwVer);
    if (row >= 0 && !cellIsNull(&model, row, 1)) {
        group = cellText(&model, row, 1);
        qDebug().noquote() << "/C:17"
                           << "FW Group: " << group;
    } else {
        qDebug().noquote() << "/C:17"
                           << "FW Not found";
    }
    m_db.close();
    return group;
}

QString DB_Worker::deviceName(int devId)
{
    const bool wasOpen = m_db.isOpen();
    if (!wasOpen && !m_db.open()) {
        qDebug().noquote() << "DB Error: " << m_db.lastError().text();
        return QString();
    }
    const QString wanted = QStringLiteral("zemo") + QString::number(devId);
    QString name;
    const QStringList tables = m_db.tables();
    for (const QString &table : tables) {
        if (table.compare(wanted, Qt::CaseInsensitive) == 0) {
            name = table;
            break;
        }
    }
    if (!wasOpen)
        m_db.close();
    return name;
}

bool DB_Worker::knowsFirmware(const QString &version, int devId)
{
    const QString table = deviceName(devId);
    if (table.isEmpty())
        return false;
    const bool wasOpen = m_db.isOpen();
    if (!wasOpen && !m_db.open()) {
        qDebug().noquote() << "DB Error: " << m_db.lastError().text();
        return false;
    }
    bool known = false;
    {
        QSqlQuery rows(m_db);
        if (rows.exec(QStringLiteral("SELECT * FROM \"%1\";").arg(table))) {
            QStringList ranges;
            QList<bool> hasGroup;
            while (rows.next()) {
                ranges << (rows.isNull(0) ? QString() : rows.value(0).toString());
                hasGroup << !rows.isNull(1);
            }
            const int row = matchFirmwareRow(ranges, version);
            known = row >= 0 && hasGroup.value(row);
        } else {
            qDebug().noquote() << "DB Error: " << table << rows.lastError().text();
        }
    }
    if (!wasOpen)
        m_db.close();
    return known;
}

bool DB_Worker::openForGroup()
{
    if (m_db.isOpen())
        return true;
    if (!m_db.open()) {
        qDebug().noquote() << "DB Error: " << m_db.lastError().text();
        return false;
    }
    return true;
}

void DB_Worker::replaceGroupModel(const QString &table)
{
    delete m_groupModel;
    m_groupModel = new QSqlTableModel(nullptr, m_db);
    m_groupModel->setTable(table);
    m_groupModel->select();
    fetchAll(m_groupModel);
}

void DB_Worker::setCurrentFwGroup(QString fwGroup)
{
    if (!openForGroup())
        return;
    replaceGroupModel(fwGroup);
    m_commandList.clear();
    for (int row = 0; row < m_groupModel->rowCount(); ++row) {
        if (!cellIsNull(m_groupModel, row, 0))
            m_commandList.append(m_groupModel->record(row).value(0).toInt());
    }
    qDebug().noquote() << "/C:12"
                       << "Supported commands: " << m_commandList;
    m_groupSelected = true;
}

void DB_Worker::setCurrentFwGrouplbl(QString fwGroup)
{
    if (!openForGroup())
        return;
    replaceGroupModel(fwGroup);
    m_labelList.clear();
    for (int row = 0; row < m_groupModel->rowCount(); ++row) {
        if (!cellIsNull(m_groupModel, row, 0))
            m_labelList.append(cellText(m_groupModel, row, 0));
    }
    qDebug().noquote() << "/C:12"
                       << "Supported commands: " << m_labelList;
}

QList<int> DB_Worker::getCommandList()
{
    qDebug().noquote() << "/C:17"
                       << "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";
    return m_commandList;
}

QList<QString> DB_Worker::getCommandListlbl()
{
    qDebug().noquote() << "/C:17"
                       << "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";
    return m_labelList;
}

bool DB_Worker::checkSupportedCmd(int cmd)
{
    if (!m_groupSelected || !m_groupModel)
        return false;
    const QString wanted = QString::number(cmd);
    for (int row = 0; row < m_groupModel->rowCount(); ++row) {
        if (cellText(m_groupModel, row, 0) == wanted)
            return m_groupModel->record(row).value(0).toInt() == cmd;
    }
    return false;
}

bool DB_Worker::checkSupportPage(QString pageName)
{
    if (!m_groupSelected || !m_groupModel)
        return false;
    for (int row = 0; row < m_groupModel->rowCount(); ++row) {
        if (cellText(m_groupModel, row, 1) == pageName)
            return true;
    }
    return false;
}

QStringList DB_Worker::getFormElements(QString pageName)
{
    if (!m_groupSelected || !m_groupModel)
        return {};
    for (int row = 0; row < m_groupModel->rowCount(); ++row) {
        const QString cell = cellText(m_groupModel, row, 2);
        if (!cell.startsWith(pageName))
            continue;
        const QStringList parts = cell.split(QLatin1Char(';'));
        if (parts.value(0) != pageName)
            return {};
        return parts.value(1).split(QLatin1Char(','));
    }
    return {};
}

QMap<int, QStringList> DB_Worker::getStatusBits()
{
    QMap<int, QStringList> bits;
    if (!m_db.isOpen() && !m_db.open()) {
        qDebug().noquote() << "Error open DB: " << m_db.lastError().text();
        return bits;
    }
    QSqlTableModel model(nullptr, m_db);
    model.setTable(QStringLiteral("statusBits"));
    model.select();
    fetchAll(&model);
    for (int row = 0; row < model.rowCount(); ++row) {
        if (cellIsNull(&model, row, 0))
            continue;
        const int bit = model.record(row).value(0).toInt();
        bits[bit] << cellText(&model, row, 1) << cellText(&model, row, 2)
                  << cellText(&model, row, 3);
    }
    return bits;
}

QList<GPRS_CONFIG> DB_Worker::getProviderList()
{
    QList<GPRS_CONFIG> list;
    if (!m_db.isOpen() && !m_db.open()) {
        qDebug().noquote() << "Error open DB: " << m_db.lastError().text();
        return list;
    }
    QSqlTableModel model(nullptr, m_db);
    model.setTable(QStringLiteral("gprsList"));
    model.setSort(0, Qt::AscendingOrder);
    model.select();
    fetchAll(&model);
    for (int row = 0; row < model.rowCount(); ++row) {
        if (cellIsNull(&model, row, 0))
            continue;
        list.append({cellText(&model, row, 0), cellText(&model, row, 1), cellText(&model, row, 2),
                     cellText(&model, row, 3), cellText(&model, row, 4)});
    }
    return list;
}

QList<GPS_CONFIG> DB_Worker::getGpsList()
{
    QList<GPS_CONFIG> list;
    if (!m_db.isOpen() && !m_db.open()) {
        qDebug().noquote() << "Error open DB: " << m_db.lastError().text();
        return list;
    }
    QSqlTableModel model(nullptr, m_db);
    model.setTable(QStringLiteral("gpsList"));
    model.setSort(0, Qt::AscendingOrder);
    model.select();
    fetchAll(&model);
    for (int row = 0; row < model.rowCount(); ++row) {
        if (cellIsNull(&model, row, 0))
            continue;
        list.append({cellText(&model, row, 0), cellText(&model, row, 1), cellText(&model, row, 2),
                     cellText(&model, row, 3)});
    }
    return list;
}

void DB_Worker::closeDb()
{
    delete m_groupModel;
    m_groupModel = nullptr;
    m_groupSelected = false;
    if (m_db.isOpen())
        m_db.close();
    qDebug().noquote() << "/C:17"
                       << "Close DB";
}
