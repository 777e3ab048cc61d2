// The commands of zemo-cli, each as the window runs the same operation: the read before a write,
// the write of a whole document ending in the reboot, the reader followed to its new address and
// speed, the image checked before the upload.
#include "clisession.h"

#include "clidocument.h"
#include "configurationfile.h"
#include "firmwareheader.h"
#include "firmwareimage.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The window shows its reboot box for a second and talks to the reader again 1010 ms after the
// reboot was confirmed; the reader is silent while it restarts.
constexpr int kRebootWaitMs = 1010;
// How long closing the server connection may take to be confirmed.
constexpr int kCloseWaitMs = 2000;
} // namespace

int CliSession::ports()
{
    QStringList ports;
    const QMetaObject::Connection listed = connect(&m_link, &DeviceInterface::setCOMsList, this,
                                                   [&ports](const QStringList &names) {
                                                       ports = names;
                                                   });
    m_link.enumeratePorts();
    disconnect(listed);
    for (const QString &port : qAsConst(ports))
        printOut(CliOutput::portLine(port, m_options.json));
    return CliExit::Done;
}

int CliSession::scan()
{
    m_link.setPortName(m_options.port);
    m_link.setBaudRate(m_options.speed);
    // Each reader is printed as it answers (onReaderFound).
    const int code = runPhase(Phase::Scanning, [this] {
        m_link.findDevices_220();
        if (!m_link.isPortOpen())
            settle(CliExit::NoAnswer, tr("порт %1 не открывается").arg(m_options.port));
    });
    if (code != CliExit::Done)
        return code;
    if (m_found.isEmpty())
        return failWith(CliExit::NoAnswer,
                        tr("ни один модуль не ответил на порту %1 на скорости %2")
                                .arg(m_options.port)
                                .arg(m_options.speed));
    return CliExit::Done;
}

QString CliSession::outputFileRefusal(const QString &path) const
{
    // A device, a FIFO or a folder is refused without being opened: opening a FIFO would wait
    // for a reader, and the atomic save would put a file in place of the device's name.
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QString();
    if (!info.exists())
        return tr("%1 — ссылка в никуда, а не обычный файл").arg(path);
    if (info.isDir())
        return tr("%1 — папка, а не обычный файл").arg(path);
    if (!info.isFile())
        return tr("%1 — устройство или канал, а не обычный файл").arg(path);
    return QString();
}

int CliSession::read()
{
    const bool toStandardOutput = m_options.file == QLatin1String("-");
    if (!m_options.file.isEmpty() && !toStandardOutput) {
        const QString refusal = outputFileRefusal(m_options.file);
        if (!refusal.isEmpty())
            return failWith(CliExit::FileError,
                            tr("файл %1 не записывается: %2").arg(m_options.file, refusal));
    }

    int code = requireDatabase();
    if (code == CliExit::Done)
        code = connectAndRead();
    if (code == CliExit::Done)
        code = requireSupportedFirmware();
    if (code != CliExit::Done)
        return code;
    closeLink();

    // What the window's save writes after the same read.
    const QDomDocument doc = CliDocument::fromRead(m_document);
    const QByteArray bytes = ConfigurationFile::serialize(doc);
    if (bytes.isEmpty())
        return failWith(CliExit::FileError,
                        tr("прочитанная конфигурация модуля %1 не сохраняется как файл")
                                .arg(readerText()));
    if (toStandardOutput || (m_options.file.isEmpty() && !m_options.json)) {
        // "-o -": the file on standard output, also with --json, whose line then stays out.
        return printRaw(bytes) ? CliExit::Done : CliExit::FileError;
    }
    if (!m_options.file.isEmpty()) {
        QSaveFile file(m_options.file);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return failWith(CliExit::FileError, tr("файл %1 не записывается: %2")
                                                        .arg(m_options.file, file.errorString()));
    }
    if (m_options.json)
        printOut(CliOutput::settingsLine(CliDocument::valuesOf(doc), m_identity, m_counter,
                                         m_uptime, true));
    return CliExit::Done;
}

int CliSession::write()
{
    int code = requireDatabase();
    if (code != CliExit::Done)
        return code;

    // An opened file is written whole, as the window writes it after opening it.
    QDomDocument changes;
    if (m_options.command == CliOptions::Write) {
        QFile file(m_options.file);
        if (!file.open(QIODevice::ReadOnly))
            return failWith(CliExit::FileError,
                            tr("файл %1 не читается: %2").arg(m_options.file, file.errorString()));
        QDomDocument config;
        if (file.size() > ConfigurationFile::MaxBytes
            || !ConfigurationFile::parse(file.read(ConfigurationFile::MaxBytes + 1), &config,
                                         &changes))
            return failWith(CliExit::FileError,
                            tr("файл %1 не является файлом конфигурации").arg(m_options.file));
    }

    code = connectAndRead();
    if (code == CliExit::Done)
        code = requireSupportedFirmware();
    if (code != CliExit::Done)
        return code;

    // The values given on the command line replace the file's, as edits after opening it do;
    // then the document is checked as the window checks an opened file, against the lists of
    // the reader's firmware, before anything is written.
    for (const CliSetting &setting : qAsConst(m_options.settings)) {
        QString error;
        const QString param = CliDocument::paramOf(setting, m_formLists, &error,
                                                   [this](const QString &item) {
                                                       return otherNames(item);
                                                   });
        if (!error.isEmpty())
            return failWith(CliExit::Usage, error);
        CliDocument::setParameter(changes, CliDocument::elementOf(setting.key), param);
    }
    const QString misfit = CliDocument::misfit(changes, m_formLists);
    if (!misfit.isEmpty())
        return failWith(CliExit::Usage, m_options.file.isEmpty()
                                                ? misfit
                                                : tr("файл %1: %2").arg(m_options.file, misfit));

    code = writeDocument(changes);
    if (code != CliExit::Done)
        return code;

    // A new address or speed takes effect with the reboot: the reader is read there.
    code = followReboot();
    if (code != CliExit::Done)
        return code;

    const QMap<QString, int> written = CliDocument::valuesOf(changes);
    const QMap<QString, int> now = CliDocument::valuesOf(CliDocument::fromRead(m_document));
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (now.value(it.key(), -1) == it.value())
            continue;
        // A command skipped after an unanswered question was never written; anything else
        // the reader took and did not keep.
        const QString message = tr("модуль %1 хранит %2=%3, записано %4")
                                        .arg(readerText(), it.key())
                                        .arg(now.value(it.key(), -1))
                                        .arg(it.value());
        return failWith(m_answeredYes ? CliExit::NoAnswer : CliExit::Refused, message);
    }
    printOut(CliOutput::settingsLine(now, m_identity, m_counter, m_uptime, m_options.json));
    return CliExit::Done;
}

int CliSession::reboot()
{
    // Through the server the login reads the reader first; on the bus the reboot goes at once.
    const int code = m_options.isRemote() ? connectAndRead() : openSerialPort();
    if (code != CliExit::Done)
        return code;
    const int rebooted = runPhase(Phase::Rebooting, [this] { m_link.reboot_220(); });
    if (rebooted == CliExit::Done && m_options.json)
        printOut(CliOutput::rebootedJson(m_link.deviceAddress()));
    return rebooted;
}

int CliSession::send()
{
    int code = openSerialPort();
    if (code != CliExit::Done)
        return code;
    m_lastReceived.clear();
    // A console command is never resent: one answer time-out.
    code = runPhase(
            Phase::Console, [this] { m_link.sendTerminalCmd(m_options.console); },
            m_link.answerTimeoutMs());
    if (code == CliExit::Done)
        printOut(CliOutput::answerLine(m_lastSent, m_lastReceived, m_options.json));
    return code;
}

int CliSession::firmware()
{
    int code = requireDatabase();
    if (code != CliExit::Done)
        return code;
    QFile file(m_options.file);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(CliExit::FileError,
                        tr("файл %1 не читается: %2").arg(m_options.file, file.errorString()));
    if (file.size() > FirmwareImage::kMaxFileSize)
        return failWith(CliExit::FileError, tr("файл %1 больше %2 байтов: не прошивка")
                                                    .arg(m_options.file)
                                                    .arg(FirmwareImage::kMaxFileSize));
    const QByteArray bytes = file.readAll();
    file.close();
    const FirmwareHeader header = FirmwareHeader::parse(bytes);
    if (!header.isValid())
        return failWith(CliExit::FileError,
                        tr("файл %1 не является файлом прошивки").arg(m_options.file));

    code = connectAndRead();
    if (code != CliExit::Done)
        return code;

    // The window offers only images of the reader's type and variant ("200v2": type 200,
    // variant 2).
    QStringList wanted = m_devIdText.split(QLatin1Char('v'));
    wanted.append(QStringLiteral("0"));
    if (QString::number(header.typeNumber()) != wanted.at(0)
        || QString::number(header.variant()) != wanted.at(1))
        return failWith(CliExit::Refused,
                        tr("прошивка %1 для устройства %2 (вариант %3), модуль %4 — устройство %5")
                                .arg(m_options.file)
                                .arg(header.typeNumber())
                                .arg(header.variant())
                                .arg(readerText(), m_devIdText));
    // Checked here as the link will check it, so that a damaged image sends nothing.
    FirmwareImage::Error error = FirmwareImage::NoError;
    QString reason;
    if (FirmwareImage::build(bytes, m_devIdText, &error, &reason).isNull()) {
        if (error == FirmwareImage::UnknownType)
            return failWith(CliExit::Refused, tr("модуль %1 (устройство %2) не принимает прошивку")
                                                      .arg(readerText(), m_devIdText));
        return failWith(CliExit::FileError,
                        tr("файл прошивки %1 отвергнут: %2").arg(m_options.file, reason));
    }
    // A firmware the database does not know could not be configured afterwards.
    if (m_db.getFwGroup(header.version(), m_devIdText).isEmpty())
        return failWith(CliExit::Unsupported,
                        tr("прошивка %1 устройства %2 не поддерживается devices.db")
                                .arg(header.version(), m_devIdText));

    m_link.loadFirmwareFile(header.version(), m_options.file);
    code = runPhase(Phase::Uploading, [this] { m_link.startUpdZemo200(m_devIdText); });
    if (code == CliExit::Done)
        code = followReboot();
    if (code == CliExit::Done)
        printOut(CliOutput::readerLine(m_identity, m_options.json));
    return code;
}

int CliSession::requireDatabase()
{
    m_dbReady = m_db.checkDb();
    if (!m_dbReady)
        return failWith(CliExit::FileError, tr("devices.db не читается или повреждён: %1")
                                                    .arg(DB_Worker::databasePath()));
    return CliExit::Done;
}

int CliSession::openSerialPort()
{
    m_link.setPortName(m_options.port);
    m_link.setBaudRate(m_options.speed);
    m_link.setDeviceAddress(QString::number(m_options.address));
    m_lastBox.clear();
    if (m_link.togglePort())
        return CliExit::Done;
    QString message = tr("порт %1 не открывается").arg(m_options.port);
    if (!m_lastBox.isEmpty())
        message += QStringLiteral(": ") + m_lastBox;
    return failWith(CliExit::NoAnswer, message);
}

int CliSession::connectAndRead()
{
    if (m_options.isRemote()) {
        m_link.setBaudRate(m_options.speed);
        m_link.setDeviceAddress(QString::number(m_options.address));
        return readDocument([this] {
            m_link.connectToServer(m_options.imei, m_options.password);
            if (!m_link.isRemoteMode())
                settle(CliExit::ServerError,
                       tr("сервер конфигурирования %1 недоступен").arg(serverText()));
        });
    }
    const int code = openSerialPort();
    if (code != CliExit::Done)
        return code;
    return readDocument([this] { m_link.readConfiguration_220(); });
}

int CliSession::readDocument(const std::function<void()> &start)
{
    m_document.clear();
    m_identityAnswered = false;
    m_counter = -1;
    m_uptime = -1;
    int code = runPhase(Phase::Reading, start);
    if (code == CliExit::Done && !m_identityAnswered)
        code = failWith(CliExit::NoAnswer, tr("модуль %1 не ответил на команду %2")
                                                   .arg(readerText(), QStringLiteral("0100")));
    if (code != CliExit::Done)
        return code;
    // As the window: where the reader was read is where it answers until a write it takes
    // says otherwise at the reboot.
    m_link.setRememberedAddress(m_link.deviceAddress());
    m_link.setRememberedSpeed(m_link.baudRate());
    return CliExit::Done;
}

int CliSession::requireSupportedFirmware()
{
    if (m_fwSupported)
        return CliExit::Done;
    return failWith(CliExit::Unsupported,
                    tr("прошивка %1 модуля %2 (устройство %3) не поддерживается devices.db")
                            .arg(m_identity.firmware, readerText(), m_devIdText));
}

int CliSession::writeDocument(const QDomDocument &changes)
{
    // The change document goes to the link in a buffer, as the window hands it over.
    m_writing = changes;
    QBuffer buffer;
    buffer.setData(changes.toByteArray(1));
    m_answeredYes = false;
    return runPhase(Phase::Writing, [this, &buffer] { m_link.writeConfiguration(&buffer); });
}

int CliSession::followReboot()
{
    pause(kRebootWaitMs);
    // The link knows the address and speed the reader took with the reboot.
    m_link.setDeviceAddress(QString::number(m_link.rememberedAddress()));
    m_link.setBaudRate(m_link.rememberedSpeed());
    if (!m_options.isRemote())
        return readDocument([this] { m_link.readConfiguration_220(); });
    // Through the server a read follows the login: the connection is made again, as the
    // engineer does in the window.
    closeLink();
    m_options.address = m_link.deviceAddress();
    m_options.speed = m_link.baudRate();
    return connectAndRead();
}

void CliSession::closeLink()
{
    if (m_link.isRemoteMode()) {
        // "socClose" is on its way once the server has dropped the connection; a server that
        // does not is left behind after a while. The command's own outcome stands.
        const QString error = m_error;
        runPhase(
                Phase::Closing, [this] { m_link.closeRemoteConnection(); }, kCloseWaitMs);
        m_error = error;
        return;
    }
    if (m_link.isPortOpen())
        m_link.togglePort();
}
