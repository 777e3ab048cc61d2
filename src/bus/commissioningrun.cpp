#include "commissioningrun.h"

#include "appversion.h"
#include "clidocument.h"
#include "db_worker.h"
#include "firmwareheader.h"
#include "firmwareimage.h"
#include "versioncompare.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

// The run is a chain of link jobs, each started when the one before has reported its end: the
// read that identifies a reader, its firmware upload, the write that ends with the reboot, the
// read at the new address. Every step waits for what the link reports (a state code, a
// document, a probe's answer) and nothing else; the link's gate holds a job back while a
// rebooting reader is waited for, so a read asked for right after a reboot goes when the reader
// is up.

namespace {
constexpr int kMinAddress = 1;
constexpr int kMaxAddress = 254;
} // namespace

CommissioningRun::CommissioningRun(DeviceInterface *link, DB_Worker *db, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_db(db)
{
    qRegisterMetaType<CommissionRecord>();
    m_lookTimer = new QTimer(this);
    m_lookTimer->setSingleShot(true);
    connect(m_lookTimer, &QTimer::timeout, this, [this] {
        if (m_running && m_phase == Phase::LookPause)
            lookAtFactory();
    });
    if (!link)
        return;
    connect(link, &DeviceInterface::changeDeviceStatus, this, &CommissioningRun::onState);
    // Directly, as the faces select the firmware group: the link fetches the group's command
    // list right after this signal.
    connect(
            link, &DeviceInterface::setCurrentFwVer, this,
            [this](const QString &fwVer, const QString &, const QString &devId, const QString &) {
                onFirmwareVersion(fwVer, devId);
            },
            Qt::DirectConnection);
    connect(link, &DeviceInterface::updateGUI, this,
            [this](QBuffer *buffer) { onDocument(buffer ? buffer->data() : QByteArray()); });
    connect(link, &DeviceInterface::writeEnded, this, &CommissioningRun::onWriteEnded);
    connect(link, &DeviceInterface::probeAnswered, this,
            [this](int address, bool answered, const VERSION_INFO_220 &) {
                onProbe(address, answered);
            });
    connect(link, &DeviceInterface::connectionChanged, this, &CommissioningRun::onConnection);
    connect(link, &DeviceInterface::sessionResumed, this, &CommissioningRun::resume);
    connect(link, &DeviceInterface::busHealthChanged, this, &CommissioningRun::onHealth);
}

CommissioningRun::~CommissioningRun()
{
    // A run that ends with its owner gives the link back as it found it.
    if (m_running)
        finish();
}

bool CommissioningRun::isRunning() const
{
    return m_running;
}

bool CommissioningRun::isPaused() const
{
    return m_running && m_phase == Phase::Paused;
}

CommissionHeader CommissioningRun::header() const
{
    return m_header;
}

QList<CommissionRecord> CommissioningRun::records() const
{
    return m_records;
}

CommissionRecord &CommissioningRun::record()
{
    return m_records[m_cur.record];
}

bool CommissioningRun::start(const CommissionOptions &options, QString *error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    error->clear();
    if (m_running) {
        *error = tr("запуск уже идёт");
        return false;
    }
    if (!m_link || !m_db) {
        *error = tr("нет связи с модулями");
        return false;
    }
    if (m_link->isRemoteMode()) {
        *error = tr("запуск работает только на шине RS-485, не через сервер конфигурирования");
        return false;
    }
    if (m_link->connection() == DeviceInterface::Connection::SerialLost) {
        *error = tr("преобразователь отключен от ПК");
        return false;
    }
    const QStringList speeds = m_link->baudList();
    CommissioningPlan::Values templateValues;
    if (!CommissioningPlan::templateValues(options.templateXml, speeds, &templateValues, error))
        return false;

    CommissionOptions checked = options;
    if (checked.mode == CommissionOptions::Selected) {
        // Each reader keeps its address: a template with nothing else would leave every reader
        // as it was, and the report would call them all verified.
        bool setsSomething = !checked.firmwarePath.isEmpty();
        for (auto it = templateValues.cbegin(); it != templateValues.cend(); ++it)
            setsSomething = setsSomething || it.key() != CommissioningPlan::AddressElement;
        if (!setsSomething) {
            *error = tr("шаблон не задаёт ни одной настройки, кроме адреса: выбранным модулям "
                        "нечего записать");
            return false;
        }
        if (checked.targets.isEmpty()) {
            *error = tr("не выбран ни один модуль");
            return false;
        }
        QList<int> seen;
        for (CommissionTarget &target : checked.targets) {
            if (target.baud == 0)
                target.baud = m_link->baudRate();
            if (target.address < kMinAddress || target.address > kMaxAddress) {
                *error = tr("адрес модуля вне диапазона %1..%2: %3")
                                 .arg(kMinAddress)
                                 .arg(kMaxAddress)
                                 .arg(target.address);
                return false;
            }
            if (!speeds.contains(QString::number(target.baud))) {
                *error = tr("скорость модуля %1 не из списка: %2")
                                 .arg(target.address)
                                 .arg(target.baud);
                return false;
            }
            if (seen.contains(target.address)) {
                *error = tr("модуль %1 выбран дважды").arg(target.address);
                return false;
            }
            seen << target.address;
        }
    } else {
        if (checked.factoryAddress < kMinAddress || checked.factoryAddress > kMaxAddress) {
            *error = tr("заводской адрес вне диапазона %1..%2: %3")
                             .arg(kMinAddress)
                             .arg(kMaxAddress)
                             .arg(checked.factoryAddress);
            return false;
        }
        if (!speeds.contains(QString::number(checked.factoryBaud))) {
            *error = tr("заводская скорость не из списка: %1").arg(checked.factoryBaud);
            return false;
        }
        if (checked.firstAddress < kMinAddress || checked.lastAddress > kMaxAddress
            || checked.firstAddress > checked.lastAddress) {
            *error = tr("диапазон адресов вне %1..%2 или пуст: %3-%4")
                             .arg(kMinAddress)
                             .arg(kMaxAddress)
                             .arg(checked.firstAddress)
                             .arg(checked.lastAddress);
            return false;
        }
        // A reader given the factory address would answer in place of the next new one.
        if (checked.factoryAddress >= checked.firstAddress
            && checked.factoryAddress <= checked.lastAddress) {
            *error = tr("заводской адрес %1 внутри диапазона %2-%3")
                             .arg(checked.factoryAddress)
                             .arg(checked.firstAddress)
                             .arg(checked.lastAddress);
            return false;
        }
    }

    m_firmwareVersion.clear();
    m_header = CommissionHeader();
    if (!checked.firmwarePath.isEmpty()) {
        QFile file(checked.firmwarePath);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = tr("файл прошивки %1 не читается: %2")
                             .arg(checked.firmwarePath, file.errorString());
            return false;
        }
        const QByteArray head = file.read(FirmwareHeader::kSize);
        const FirmwareHeader header = FirmwareHeader::parse(head);
        if (!header.isValid() || file.size() > FirmwareImage::kMaxFileSize) {
            *error = tr("файл %1 не является файлом прошивки").arg(checked.firmwarePath);
            return false;
        }
        // A firmware the database does not know could not be configured afterwards.
        if (m_db->getFwGroup(header.version(), QString::number(header.typeNumber())).isEmpty()) {
            *error = tr("прошивка %1 устройства %2 не поддерживается devices.db")
                             .arg(header.version())
                             .arg(header.typeNumber());
            return false;
        }
        m_firmwareVersion = header.version();
        m_firmwareType = header.typeNumber();
        m_firmwareVariant = header.variant();
        m_header.firmware = QStringLiteral("%1 (%2)").arg(QFileInfo(checked.firmwarePath).fileName(),
                                                          m_firmwareVersion);
    }

    m_addressBefore = m_link->deviceAddress();
    m_baudBefore = m_link->baudRate();
    m_openedPort = false;
    if (m_link->connection() == DeviceInterface::Connection::Closed) {
        if (m_link->portName().isEmpty()) {
            *error = tr("не выбран порт");
            return false;
        }
        m_link->setBaudRate(checked.mode == CommissionOptions::Selected
                                    ? checked.targets.first().baud
                                    : checked.factoryBaud);
        if (!m_link->togglePort()) {
            m_link->setBaudRate(m_baudBefore);
            *error = tr("порт %1 не открывается").arg(m_link->portName());
            return false;
        }
        m_openedPort = true;
    }

    m_options = checked;
    m_template = templateValues;
    m_header.started = QDateTime::currentDateTime();
    m_header.templateName = checked.templateName;
    m_header.programVersion = AppVersion::text();
    m_header.note = checked.note;
    m_header.mode = checked.mode == CommissionOptions::Selected
                            ? QStringLiteral("selected")
                            : QStringLiteral("assign %1-%2 from %3")
                                      .arg(checked.firstAddress)
                                      .arg(checked.lastAddress)
                                      .arg(checked.factoryAddress);
    m_records.clear();
    if (checked.mode == CommissionOptions::Selected) {
        for (const CommissionTarget &target : qAsConst(checked.targets)) {
            CommissionRecord r;
            r.addressBefore = r.addressAfter = target.address;
            r.baudBefore = r.baudAfter = target.baud;
            m_records << r;
        }
    }

    m_wasUnattended = m_link->isUnattended();
    m_resumeBefore = m_link->resumeAfterLoss();
    m_link->setUnattended(true);
    m_link->setResumeAfterLoss(m_converterWaitMs);
    m_lastHealth = m_link->busHealth();
    m_cur = Current();
    m_phase = Phase::Idle;
    m_nextTarget = 0;
    m_nextAddress = checked.firstAddress;
    m_factoryMustClear = false;
    m_waitingTold = false;
    m_writeInFlight = false;
    m_stopWanted = false;
    m_running = true;
    qDebug().noquote() << "/C:16"
                       << "Commissioning run started:" << m_header.mode << "template"
                       << m_header.templateName;
    // The first step goes from the event loop: the face has its answer before any signal.
    QTimer::singleShot(0, this, [this] {
        if (m_running && m_phase == Phase::Idle && m_cur.record < 0)
            startNext();
    });
    return true;
}

void CommissioningRun::stop()
{
    if (!m_running)
        return;
    m_stopWanted = true;
    qDebug().noquote() << "/C:16"
                       << "Commissioning run: stop asked";
    switch (m_phase) {
    case Phase::Idle:
    case Phase::LookPause:
        finish();
        break;
    case Phase::Paused:
        leaveCurrent(CommissionRecord::Stopped, tr("запуск остановлен"));
        finish();
        break;
    default:
        // The step under way ends first: its answer (or time-out) decides.
        break;
    }
}

void CommissioningRun::abandon()
{
    if (!m_running)
        return;
    m_stopWanted = true;
    leaveCurrent(CommissionRecord::Stopped, tr("запуск прерван"));
    finish();
}

bool CommissioningRun::stopWanted()
{
    if (!m_stopWanted)
        return false;
    leaveCurrent(CommissionRecord::Stopped, tr("запуск остановлен"));
    finish();
    return true;
}

bool CommissioningRun::sessionGone() const
{
    return !m_link || !m_link->hasSession();
}

void CommissioningRun::setLinkReader(int address, int baud)
{
    m_link->setDeviceAddress(QString::number(address));
    if (m_link->baudRate() != baud)
        m_link->setBaudRate(baud);
}

void CommissioningRun::startNext()
{
    if (!m_running || stopWanted())
        return;
    if (m_options.mode == CommissionOptions::Selected) {
        if (m_nextTarget >= m_options.targets.size()) {
            finish();
            return;
        }
        const int index = m_nextTarget++;
        const CommissionTarget target = m_options.targets.at(index);
        serve(index, target.address, target.baud, target.address);
        return;
    }
    if (m_nextAddress > m_options.lastAddress) {
        finish();
        return;
    }
    checkNextAddress();
}

void CommissioningRun::checkNextAddress()
{
    // Two readers at one address answer over each other: a reader already there (one set up on
    // an earlier visit, or a reader of the site) keeps it, and the new one gets the next free
    // address. Looked at with the speed the readers get.
    if (sessionGone()) {
        finish();
        return;
    }
    m_phase = Phase::CheckingNext;
    setLinkReader(m_nextAddress,
                  m_template.value(CommissioningPlan::SpeedElement, m_options.factoryBaud));
    m_link->probeReader(quint8(m_nextAddress));
}

void CommissioningRun::lookAtFactory()
{
    if (sessionGone()) {
        finish();
        return;
    }
    m_phase = Phase::Looking;
    setLinkReader(m_options.factoryAddress, m_options.factoryBaud);
    m_link->probeReader(quint8(m_options.factoryAddress));
}

void CommissioningRun::onProbe(int address, bool answered)
{
    if (!m_running)
        return;
    if (m_phase == Phase::CheckingNext && address == m_nextAddress) {
        if (m_stopWanted) {
            finish();
            return;
        }
        if (!answered) {
            lookAtFactory();
            return;
        }
        qDebug().noquote() << "/C:16"
                           << "Commissioning: address" << address << "answers already, passed over";
        m_header.occupied << address;
        ++m_nextAddress;
        m_phase = Phase::Idle;
        emit addressOccupied(address);
        if (m_running && m_phase == Phase::Idle)
            startNext();
        return;
    }
    if (m_phase == Phase::Looking && address == m_options.factoryAddress) {
        if (m_stopWanted) {
            finish();
            return;
        }
        if (answered && !m_factoryMustClear) {
            m_waitingTold = false;
            CommissionRecord r;
            r.addressBefore = r.addressAfter = m_options.factoryAddress;
            r.baudBefore = r.baudAfter = m_options.factoryBaud;
            m_records << r;
            serve(m_records.size() - 1, m_options.factoryAddress, m_options.factoryBaud,
                  m_nextAddress);
            return;
        }
        if (!m_waitingTold) {
            m_waitingTold = true;
            emit waitingForReader(m_options.factoryAddress, m_nextAddress, answered);
            if (!m_running || m_phase != Phase::Looking)
                return; // the face ended the run
        }
        if (answered) {
            // The reader that failed is still on the bus: it must go before the next comes.
            m_phase = Phase::LookPause;
            m_lookTimer->start(StillThereRetryMs);
            return;
        }
        m_factoryMustClear = false;
        lookAtFactory();
        return;
    }
    if (m_phase != Phase::Resuming || m_cur.record < 0)
        return;
    if (m_stopWanted) {
        stopWanted();
        return;
    }
    if (answered) {
        if (m_cur.resumeStep == 1) {
            // Where it was: everything from its identity on again; what it took is not sent
            // again.
            identify();
        } else {
            // It rebooted into what it took: only the read-back is left.
            CommissionRecord &r = record();
            r.addressAfter = address;
            r.baudAfter = m_link->baudRate();
            m_phase = Phase::ReadBack;
            emit step(r.addressAfter, QStringLiteral("reboot"));
            m_link->readConfiguration_220();
        }
        return;
    }
    int newAddress = m_cur.address;
    int newBaud = m_cur.baud;
    for (const CommissioningPlan::Change &change : qAsConst(m_cur.taken)) {
        if (change.first == CommissioningPlan::AddressElement)
            newAddress = change.second;
        else if (change.first == CommissioningPlan::SpeedElement)
            newBaud = change.second;
    }
    if (m_cur.resumeStep == 1 && (newAddress != m_cur.address || newBaud != m_cur.baud)) {
        m_cur.resumeStep = 2;
        setLinkReader(newAddress, newBaud);
        m_link->probeReader(quint8(newAddress));
        return;
    }
    fail(CommissionRecord::Silent, tr("модуль не отвечает после возврата преобразователя"));
}

void CommissioningRun::serve(int index, int address, int baud, int targetAddress)
{
    m_cur = Current();
    m_cur.record = index;
    m_cur.address = address;
    m_cur.baud = baud;
    m_cur.targetAddress = targetAddress;
    m_cur.expected = CommissioningPlan::expected(m_template, targetAddress, baud);
    CommissionRecord &r = record();
    r.time = QDateTime::currentDateTime();
    identify();
}

void CommissioningRun::identify()
{
    if (sessionGone()) {
        leaveCurrent(CommissionRecord::ConnectionLost, tr("соединение закрыто"));
        finish();
        return;
    }
    m_phase = Phase::Identify;
    m_cur.identified = false;
    setLinkReader(m_cur.address, m_cur.baud);
    emit step(m_cur.address, QStringLiteral("identify"));
    m_link->readConfiguration_220();
}

void CommissioningRun::onFirmwareVersion(const QString &fwVer, const QString &devId)
{
    if (!m_running || m_cur.record < 0)
        return;
    if (m_phase != Phase::Identify && m_phase != Phase::Reidentify && m_phase != Phase::ReadBack)
        return;
    CommissionRecord &r = record();
    m_cur.identified = true;
    r.device = devId;
    if (m_phase == Phase::Identify && r.firmwareBefore.isEmpty())
        r.firmwareBefore = fwVer;
    r.firmwareAfter = fwVer;
    const QString group = m_db->getFwGroup(fwVer, devId);
    m_cur.supported = !group.isEmpty();
    if (m_cur.supported)
        m_db->setCurrentFwGroup(group);
}

void CommissioningRun::onDocument(const QByteArray &document)
{
    if (!m_running || m_cur.record < 0)
        return;
    switch (m_phase) {
    case Phase::Identify:
    case Phase::Reidentify:
        afterRead(document);
        break;
    case Phase::ReadBack:
        judge(CommissioningPlan::readValues(document));
        break;
    default:
        break;
    }
}

void CommissioningRun::afterRead(const QByteArray &document)
{
    CommissionRecord &r = record();
    if (!m_cur.identified) {
        fail(CommissionRecord::Silent, tr("модуль не ответил на запрос версии"));
        return;
    }
    m_cur.read = CommissioningPlan::readValues(document);
    // The image first: the reader is configured with the firmware it will keep, whose lists
    // the template must fit (and an image devices.db knows may bring up a firmware it does not).
    if (m_phase == Phase::Identify && firmwareWanted()) {
        if (!stopWanted())
            startFirmware();
        return;
    }
    if (!m_cur.supported) {
        fail(CommissionRecord::Unsupported,
             tr("прошивка %1 (устройство %2) не поддерживается devices.db")
                     .arg(r.firmwareAfter, r.device));
        return;
    }
    if (stopWanted())
        return;
    const QString misfit = templateMisfit();
    if (!misfit.isEmpty()) {
        fail(CommissionRecord::TemplateMisfit,
             tr("шаблон не подходит прошивке %1: %2").arg(r.firmwareAfter, misfit));
        return;
    }
    startWrite();
}

QString CommissioningRun::templateMisfit() const
{
    // The lists of the reader's firmware group, as the form shows them.
    QMap<QString, QStringList> lists;
    for (const QString &key : CliDocument::keys()) {
        const QString list = CliDocument::formListOf(key);
        if (!list.isEmpty())
            lists.insert(key, CliDocument::formItems(m_db->getFormElements(list)));
    }
    QDomDocument doc;
    for (auto it = m_template.cbegin(); it != m_template.cend(); ++it) {
        // The address is the run's, and a speed list of no items holds nothing against it.
        if (it.key() == CommissioningPlan::AddressElement)
            continue;
        CliDocument::setParameter(doc, it.key(), QString::number(it.value()));
    }
    if (doc.isNull())
        return QString();
    return CliDocument::misfit(doc, lists);
}

bool CommissioningRun::firmwareWanted() const
{
    if (m_firmwareVersion.isEmpty() || m_cur.firmwareTried)
        return false;
    const CommissionRecord &r = m_records.at(m_cur.record);
    // The image names its device type and variant: "200v2" is type 200, variant 2.
    QStringList type = r.device.split(QLatin1Char('v'));
    type.append(QStringLiteral("0"));
    int size = 0;
    quint32 base = 0;
    return type.at(0) == QString::number(m_firmwareType)
           && type.at(1) == QString::number(m_firmwareVariant)
           && FirmwareImage::geometry(r.device, &size, &base)
           && VersionCompare::isNewer(m_firmwareVersion, r.firmwareAfter);
}

void CommissioningRun::startFirmware()
{
    m_phase = Phase::Firmware;
    emit step(m_cur.address, QStringLiteral("firmware"));
    m_link->loadFirmwareFile(m_firmwareVersion, m_options.firmwarePath);
    m_link->startUpdZemo200(record().device);
}

void CommissioningRun::startWrite()
{
    QList<CommissioningPlan::Change> changes = CommissioningPlan::changes(m_cur.expected,
                                                                          m_cur.read);
    // An address or speed the reader took before a pulled converter cut the write off waits
    // in it for the reboot; the read still shows the old one, and it is not sent again.
    bool rebootOwed = false;
    for (const CommissioningPlan::Change &taken : qAsConst(m_cur.taken)) {
        if (taken.first != CommissioningPlan::AddressElement
            && taken.first != CommissioningPlan::SpeedElement)
            continue;
        if (changes.removeAll(taken) > 0)
            rebootOwed = true;
    }
    if (changes.isEmpty() && !rebootOwed) {
        // The reader holds the template already: no write and no reboot.
        judge(m_cur.read);
        return;
    }
    if (sessionGone()) {
        leaveCurrent(CommissionRecord::ConnectionLost, tr("соединение закрыто"));
        finish();
        return;
    }
    m_phase = Phase::Write;
    m_cur.sending = changes;
    m_writeInFlight = true;
    m_writeRefused = false;
    m_notTaken.clear();
    emit step(m_cur.address, QStringLiteral("write"));
    QBuffer buffer;
    buffer.setData(CommissioningPlan::changesDocument(changes));
    m_link->writeConfiguration(&buffer);
}

void CommissioningRun::onWriteEnded(const QStringList &notTaken, bool refused)
{
    if (!m_writeInFlight || m_cur.record < 0)
        return;
    m_writeInFlight = false;
    m_writeRefused = refused;
    m_notTaken = notTaken;
    for (const CommissioningPlan::Change &change : qAsConst(m_cur.sending)) {
        if (notTaken.contains(change.first))
            continue;
        for (int i = m_cur.taken.size() - 1; i >= 0; --i) {
            if (m_cur.taken.at(i).first == change.first)
                m_cur.taken.removeAt(i);
        }
        m_cur.taken << change;
    }
    m_cur.sending.clear();
    QStringList written;
    for (const CommissioningPlan::Change &change : qAsConst(m_cur.taken))
        written << CommissioningPlan::settingText(change.first, change.second);
    record().written = written;
}

void CommissioningRun::onState(int code)
{
    if (!m_running || m_cur.record < 0)
        return;
    switch (m_phase) {
    case Phase::Identify:
    case Phase::Reidentify:
        if (code == 6)
            fail(CommissionRecord::Silent, tr("модуль не отвечает"));
        break;
    case Phase::ReadBack:
        if (code == 4)
            emit step(record().addressAfter, QStringLiteral("read back"));
        else if (code == 6)
            fail(CommissionRecord::Silent,
                 tr("модуль не отвечает после перезагрузки: адрес %1, скорость %2")
                         .arg(record().addressAfter)
                         .arg(record().baudAfter));
        break;
    case Phase::Firmware:
        if (code == 7) {
            m_cur.firmwareTried = true;
            if (stopWanted())
                return;
            // The reader starts the new firmware: it is read again once it is up.
            m_phase = Phase::Reidentify;
            m_cur.identified = false;
            emit step(m_cur.address, QStringLiteral("identify"));
            m_link->readConfiguration_220();
        } else if (code == 3) {
            fail(CommissionRecord::Refused,
                 tr("модуль отклонил прошивку %1").arg(m_firmwareVersion));
        } else if (code == 12) {
            fail(CommissionRecord::FirmwareFile,
                 tr("файл прошивки %1 не подходит модулю").arg(m_options.firmwarePath));
        } else if (code == 6) {
            fail(CommissionRecord::Silent, tr("модуль не отвечает при загрузке прошивки"));
        }
        break;
    case Phase::Write:
        if (code == 7) {
            afterReboot();
        } else if (code == 3) {
            if (m_writeRefused && !m_notTaken.isEmpty()) {
                const QString element = m_notTaken.first();
                fail(CommissionRecord::Refused,
                     tr("модуль отклонил значение %1")
                             .arg(CommissioningPlan::settingText(element,
                                                                 m_cur.expected.value(element))));
            } else {
                fail(CommissionRecord::Refused, tr("модуль отклонил перезагрузку"));
            }
        } else if (code == 6) {
            fail(CommissionRecord::Silent, tr("модуль не отвечает при записи"));
        }
        break;
    default:
        break;
    }
}

void CommissioningRun::afterReboot()
{
    // The reader answers where its reboot put it: the address and speed it took, else its own.
    int address = m_cur.address;
    int baud = m_cur.baud;
    for (const CommissioningPlan::Change &change : qAsConst(m_cur.taken)) {
        if (change.first == CommissioningPlan::AddressElement)
            address = change.second;
        else if (change.first == CommissioningPlan::SpeedElement)
            baud = change.second;
    }
    CommissionRecord &r = record();
    r.addressAfter = address;
    r.baudAfter = baud;
    // The link follows a value it saw taken by itself; after a converter came back it knows
    // none, so the run says where the reader is.
    setLinkReader(address, baud);
    if (stopWanted())
        return;
    m_phase = Phase::ReadBack;
    m_cur.identified = false;
    emit step(address, QStringLiteral("reboot"));
    // Held back by the link until the rebooting reader is up.
    readBack();
}

void CommissioningRun::readBack()
{
    if (sessionGone()) {
        leaveCurrent(CommissionRecord::ConnectionLost, tr("соединение закрыто"));
        finish();
        return;
    }
    m_link->readConfiguration_220();
}

void CommissioningRun::judge(const CommissioningPlan::Values &readBack)
{
    CommissionRecord &r = record();
    emit step(r.addressAfter, QStringLiteral("compare"));
    r.differences = CommissioningPlan::differences(m_cur.expected, readBack);
    r.verdict = r.differences.isEmpty() ? CommissionRecord::Verified : CommissionRecord::Differs;
    r.cause = CommissionRecord::NoCause;
    r.reason.clear();
    readerFinished();
}

void CommissioningRun::fail(CommissionRecord::Cause cause, const QString &reason)
{
    CommissionRecord &r = record();
    r.verdict = CommissionRecord::Failed;
    r.cause = cause;
    r.reason = reason;
    qDebug().noquote() << "/C:12"
                       << "Commissioning: reader" << r.addressBefore << "failed:" << reason;
    readerFinished();
}

void CommissioningRun::readerFinished()
{
    CommissionRecord &r = record();
    r.medianAnswerMs = CommissioningPlan::median(m_cur.answerTimes);
    if (m_options.mode == CommissionOptions::Assign) {
        bool tookAddress = false;
        for (const CommissioningPlan::Change &change : qAsConst(m_cur.taken))
            tookAddress = tookAddress || change.first == CommissioningPlan::AddressElement;
        // An address a reader took is its own, even when it failed later (it waits in the
        // reader for its next start); one it never took goes to the next reader.
        if (tookAddress)
            ++m_nextAddress;
        m_factoryMustClear = r.addressAfter == m_options.factoryAddress;
    }
    const CommissionRecord done = r;
    m_cur = Current();
    m_phase = Phase::Idle;
    qDebug().noquote() << "/C:14"
                       << "Commissioning: reader" << done.addressBefore << "->" << done.addressAfter
                       << "verdict" << int(done.verdict);
    emit readerDone(done);
    if (m_running && m_phase == Phase::Idle && m_cur.record < 0)
        startNext();
}

void CommissioningRun::leaveCurrent(CommissionRecord::Cause cause, const QString &reason)
{
    if (m_cur.record < 0)
        return;
    CommissionRecord &r = record();
    if (r.verdict == CommissionRecord::Untouched) {
        const bool sent = !m_cur.taken.isEmpty() || m_cur.firmwareTried || m_writeInFlight;
        r.verdict = sent ? CommissionRecord::Incomplete : CommissionRecord::Untouched;
        r.cause = cause;
        r.reason = reason;
        if (m_cur.firmwareTried)
            r.reason += tr("; прошивка обновлена до %1").arg(r.firmwareAfter);
        r.medianAnswerMs = CommissioningPlan::median(m_cur.answerTimes);
    }
    const CommissionRecord done = r;
    m_cur = Current();
    emit readerDone(done);
}

void CommissioningRun::onConnection(DeviceInterface::Connection connection)
{
    if (!m_running)
        return;
    if (connection == DeviceInterface::Connection::SerialLost) {
        if (m_phase == Phase::Paused)
            return;
        m_cur.lostIn = m_phase == Phase::LookPause ? Phase::Looking : m_phase;
        m_lookTimer->stop();
        m_phase = Phase::Paused;
        qDebug().noquote() << "/C:16"
                           << "Commissioning run paused: the converter is gone";
        emit paused(true);
        return;
    }
    if (connection == DeviceInterface::Connection::Closed) {
        // The converter did not come back in time, or the port was closed under the run.
        leaveCurrent(CommissionRecord::ConnectionLost, m_phase == Phase::Paused
                                                               ? tr("преобразователь отключен от "
                                                                    "ПК и не вернулся")
                                                               : tr("соединение закрыто"));
        finish();
    }
}

void CommissioningRun::resume()
{
    if (!m_running || m_phase != Phase::Paused)
        return;
    qDebug().noquote() << "/C:16"
                       << "Commissioning run goes on: the converter is back";
    emit paused(false);
    if (!m_running)
        return;
    if (stopWanted())
        return;
    if (m_cur.record < 0) {
        m_phase = Phase::Idle;
        startNext();
        return;
    }
    if (m_cur.lostIn == Phase::ReadBack) {
        m_phase = Phase::ReadBack;
        setLinkReader(record().addressAfter, record().baudAfter);
        readBack();
        return;
    }
    // Cut off in its identity, upload or write: is it where it was, or did a reboot it was
    // sent move it to what it took?
    m_phase = Phase::Resuming;
    m_cur.resumeStep = 1;
    setLinkReader(m_cur.address, m_cur.baud);
    m_link->probeReader(quint8(m_cur.address));
}

void CommissioningRun::onHealth(const BusHealth &health)
{
    // A new connection (the converter back) counts from zero again.
    const BusHealth base = health.requests() < m_lastHealth.requests() ? BusHealth() : m_lastHealth;
    m_lastHealth = health;
    if (!m_running || m_cur.record < 0)
        return;
    CommissionRecord &r = record();
    const int answers = health.answers() - base.answers();
    r.answers += answers;
    r.resends += health.resends() - base.resends();
    r.checksumErrors += health.checksumErrors() - base.checksumErrors();
    if (answers > 0 && health.lastAnswerMs() >= 0)
        m_cur.answerTimes << health.lastAnswerMs();
}

void CommissioningRun::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_lookTimer->stop();
    m_phase = Phase::Idle;
    m_cur = Current();
    m_header.ended = QDateTime::currentDateTime();
    if (m_link) {
        m_link->setUnattended(m_wasUnattended);
        m_link->setResumeAfterLoss(m_resumeBefore);
        if (m_link->connection() == DeviceInterface::Connection::SerialLost)
            m_link->abandonLostSession(false);
        if (m_openedPort && m_link->isPortOpen())
            m_link->togglePort();
        m_link->setDeviceAddress(QString::number(m_addressBefore));
        if (m_link->baudRate() != m_baudBefore)
            m_link->setBaudRate(m_baudBefore);
    }
    qDebug().noquote() << "/C:16"
                       << "Commissioning run ended";
    emit finished();
}
