// Firmware identification of a freshly read reader, the local firmware catalogue and the offer
// of a newer local firmware.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apppaths.h"
#include "db_worker.h"
#include "firmwareheader.h"
#include "firmwareimage.h"
#include "versioncompare.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QWhatsThis>

void MainWindow::setCurrentFwVer_220(QString fw_ver, QString opt, QString devID, QString devIdByName)
{
    // A reader of the commissioning run: the run selects its firmware group itself.
    if (commissionRunning())
        return;
    Q_UNUSED(opt)
    this->fw_ver = fw_ver;
    this->devID = devID;
    this->devIdByName = devIdByName;

    const QString group = m_db->getFwGroup(fw_ver, devID);
    if (!group.isEmpty()) {
        m_fwSupported = true;
        m_db->setCurrentFwGroup(group);
        ui->terminalMenu->setRowHidden(0, false);
        const QString mask = m_db->getFormElements(QStringLiteral("statusBitMask")).value(0);
        m_statusBitMask = mask.toUInt(nullptr, 10);
        qDebug().noquote() << "STATUS BIT MASK: " << mask;
        // A list element may carry a description after a colon; the box shows what is before,
        // in the interface language, and keeps the stored text as the item's data (see
        // retranslate()). Refilling is no edit of the engineer: the boxes stay silent. While a
        // read configuration is shown, a box whose list did not change keeps its choice: an
        // identity asked again from the console must not reset the form, nor record changes to
        // write.
        for (QComboBox *box :
             {ui->setBaudComboBox, ui->genComboBox, ui->genTypeComboBox, ui->pullUpComboBox}) {
            const QSignalBlocker silent(box);
            QStringList items;
            for (const QString &element : m_db->getFormElements(box->objectName()))
                items << element.section(QLatin1Char(':'), 0, 0);
            QStringList before;
            for (int i = 0; i < box->count(); ++i)
                before << box->itemData(i).toString();
            if (m_configLoaded && items == before)
                continue;
            box->clear();
            for (const QString &item : qAsConst(items))
                box->addItem(DB_Worker::shownText(item), item);
        }
    } else {
        m_fwSupported = false;
        m_prompter.warning(this, tr("Предупреждение"),
                           tr("Версия прошивки не поддерживается конфигуратором"));
    }

    const QString latest = getLocalLastFw(devID);
    m_fwUpdateAvailable = firmwareInstallable(latest);
    if (m_fwUpdateAvailable) {
        ui->updateFwButton->show();
        ui->updateFwButton->setEnabled(true);
        if (isActiveWindow())
            offerFirmwareUpdate(latest);
    } else {
        ui->updateFwButton->setEnabled(false);
    }
}

QString MainWindow::getLocalLastFw(QString devID)
{
    localFirmware.clear();
    // The folder is listed where it is; the process keeps its working directory.
    const QString folder = AppPaths::filePath(QStringLiteral("firmware"));
    if (!QDir(folder).exists())
        QDir().mkpath(folder);

    // "220" wants type 220 variant 0, "200v2" type 200 variant 2.
    QStringList wanted = devID.split(QLatin1Char('v'));
    wanted.append(QStringLiteral("0"));
    const QString wantedType = wanted.at(0);
    const QString wantedVariant = wanted.at(1);

    QStringList versions;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden
                                                                   | QDir::NoSymLinks,
                                                           QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const FirmwareHeader header = FirmwareHeader::parse(file.read(FirmwareHeader::kSize));
        if (!header.isValid() || QString::number(header.typeNumber()) != wantedType
            || QString::number(header.variant()) != wantedVariant)
            continue;
        const QString version = header.version();
        qDebug().noquote() << "Found local FW Ver: " << version;
        versions.append(version);
        localFirmware.insert(version, folder + QLatin1Char('/') + info.fileName());
    }

    if (versions.isEmpty()) {
        qDebug() << "Local firmware not found";
        return QStringLiteral("0.0.0");
    }
    VersionCompare::sort(versions);
    qDebug().noquote() << "Local actual FW: " << versions.last();
    return versions.last();
}

bool MainWindow::firmwareInstallable(const QString &version) const
{
    // Only a reader whose program area the upload can lay out gets an image: model 200 and
    // 200v2. A model-220 reader's image is stored, never offered.
    int size = 0;
    quint32 base = 0;
    return VersionCompare::isNewer(version, fw_ver) && FirmwareImage::geometry(devID, &size, &base);
}

void MainWindow::offerFirmwareUpdate(const QString &latest)
{
    m_offeredFwVersion = latest;
    ui->updateFwButton->show();
    ui->updateFwButton->setEnabled(true);
    ui->updateFwButton->setToolTip(tr("Обновить прошивку устройства до версии ") + latest);
    QWhatsThis::showText(QPoint(x() + width() - 170, y() + 50),
                         tr("<font color=blue>Доступно обновление прошивки версии </font><b>")
                                 + latest + QStringLiteral("</b>"));
}
