// "zemo-cli commission": the commissioning run of the bus page, driven from the command line.
// The template and the firmware image are checked before the port opens, the report after each
// reader is rewritten whole (a run cut short by anything still leaves the readers served so far
// on record), and SIGINT or SIGTERM end the run after the step under way, with the report.
#include "clisession.h"

#include "clistopsignals.h"
#include "commissioningplan.h"
#include "commissioningrun.h"
#include "commissionreport.h"
#include "configurationfile.h"
#include "firmwareheader.h"
#include "firmwareimage.h"
#include "loghandler.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The exit code of a reader that was not verified.
int exitCodeOf(const CommissionRecord &record)
{
    if (record.verdict == CommissionRecord::Differs)
        return CliExit::Refused;
    switch (record.cause) {
    case CommissionRecord::Refused:
        return CliExit::Refused;
    case CommissionRecord::Unsupported:
    case CommissionRecord::TemplateMisfit:
        return CliExit::Unsupported;
    case CommissionRecord::FirmwareFile:
        return CliExit::FileError;
    default:
        return CliExit::NoAnswer;
    }
}

bool saveReport(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}
} // namespace

int CliSession::commission()
{
    int code = requireDatabase();
    if (code != CliExit::Done)
        return code;

    // Everything that can be checked without the bus, before the port opens.
    QFile templateFile(m_options.templateFile);
    if (!templateFile.open(QIODevice::ReadOnly))
        return failWith(CliExit::FileError,
                        tr("файл %1 не читается: %2")
                                .arg(m_options.templateFile, templateFile.errorString()));
    // A file longer than a configuration file can be is read no further, and refused by the
    // parse.
    const QByteArray templateXml = templateFile.read(ConfigurationFile::MaxBytes + 1);
    templateFile.close();
    QDomDocument config;
    QDomDocument changes;
    if (!ConfigurationFile::parse(templateXml, &config, &changes))
        return failWith(CliExit::FileError,
                        tr("файл %1 не является файлом конфигурации").arg(m_options.templateFile));
    CommissioningPlan::Values values;
    QString error;
    if (!CommissioningPlan::templateValues(templateXml, m_link.baudList(), &values, &error))
        return failWith(CliExit::Usage, tr("файл %1: %2").arg(m_options.templateFile, error));

    if (!m_options.firmwareFile.isEmpty()) {
        QFile image(m_options.firmwareFile);
        if (!image.open(QIODevice::ReadOnly))
            return failWith(CliExit::FileError,
                            tr("файл %1 не читается: %2")
                                    .arg(m_options.firmwareFile, image.errorString()));
        const FirmwareHeader header = FirmwareHeader::parse(image.read(FirmwareHeader::kSize));
        if (!header.isValid() || image.size() > FirmwareImage::kMaxFileSize)
            return failWith(CliExit::FileError,
                            tr("файл %1 не является файлом прошивки").arg(m_options.firmwareFile));
        if (m_db.getFwGroup(header.version(), QString::number(header.typeNumber())).isEmpty())
            return failWith(CliExit::Unsupported,
                            tr("прошивка %1 устройства %2 не поддерживается devices.db")
                                    .arg(header.version())
                                    .arg(header.typeNumber()));
    }

    const QString refusal = outputFileRefusal(m_options.reportFile);
    if (!refusal.isEmpty())
        return failWith(CliExit::FileError,
                        tr("файл %1 не записывается: %2").arg(m_options.reportFile, refusal));
    {
        // The folder must take the report before any reader is touched.
        QSaveFile probe(m_options.reportFile);
        if (!probe.open(QIODevice::WriteOnly))
            return failWith(CliExit::FileError,
                            tr("файл %1 не записывается: %2")
                                    .arg(m_options.reportFile, probe.errorString()));
        probe.cancelWriting();
    }

    CommissionOptions options;
    options.templateXml = templateXml;
    options.templateName = QFileInfo(m_options.templateFile).fileName();
    options.note = m_options.note;
    options.firmwarePath = m_options.firmwareFile;
    if (m_options.assign) {
        options.mode = CommissionOptions::Assign;
        options.factoryAddress = m_options.factory;
        options.factoryBaud = m_options.speed;
        options.firstAddress = m_options.assignFirst;
        options.lastAddress = m_options.assignLast;
    } else {
        options.mode = CommissionOptions::Selected;
        for (int address : qAsConst(m_options.addresses))
            options.targets.append({address, m_options.speed});
    }

    m_link.setPortName(m_options.port);
    m_link.setBaudRate(m_options.speed);
    m_link.setDeviceAddress(QString::number(options.mode == CommissionOptions::Assign
                                                    ? m_options.factory
                                                    : m_options.addresses.value(0, 1)));
    m_lastBox.clear();
    if (!m_link.togglePort()) {
        QString message = tr("порт %1 не открывается").arg(m_options.port);
        if (!m_lastBox.isEmpty())
            message += QStringLiteral(": ") + m_lastBox;
        return failWith(CliExit::NoAnswer, message);
    }

    CommissioningRun run(&m_link, &m_db);
    QEventLoop loop;
    QTimer waitTimer;
    waitTimer.setSingleShot(true);
    QString reportError;
    int interrupted = 0;
    auto writeReport = [&] {
        if (!saveReport(m_options.reportFile, CommissionReport::csv(run.header(), run.records()),
                        &reportError))
            qWarning().noquote() << "Report not written:" << m_options.reportFile << reportError;
        else
            reportError.clear();
    };
    connect(&run, &CommissioningRun::readerDone, this, [&](const CommissionRecord &record) {
        endProgress();
        printOut(CliOutput::commissionLine(record, m_options.json));
        writeReport();
    });
    connect(&run, &CommissioningRun::waitingForReader, this,
            [&](int factory, int next, bool failedStillThere) {
                // The command line cannot be asked to connect the next reader: it waits this long.
                waitTimer.start(m_options.waitSeconds * 1000);
                const QString line
                        = (failedStillThere
                                   ? tr("Снимите с шины считыватель, не прошедший ввод в работу, "
                                        "и подключите следующий (адрес %1, получит %2)")
                                   : tr("Подключите следующий считыватель (адрес %1, получит %2)"))
                                  .arg(factory)
                                  .arg(next);
                // Written to a log, the wait is a line of its own: the log shows why the run stood.
                if (m_progressOnTerminal)
                    drawProgress(line);
                else
                    LogHandler::writeToStderr(line.toUtf8() + '\n');
            });
    connect(&run, &CommissioningRun::addressOccupied, this, [&](int address) {
        endProgress();
        LogHandler::writeToStderr(
                tr("адрес %1 занят другим считывателем: пропущен").arg(address).toUtf8() + '\n');
    });
    connect(&run, &CommissioningRun::step, this, [&](int address, const QString &what) {
        waitTimer.stop();
        drawProgress(tr("модуль %1: %2").arg(address).arg(what));
    });
    connect(&run, &CommissioningRun::paused, this, [&](bool on) {
        endProgress();
        LogHandler::writeToStderr(
                (on ? tr("преобразователь отключен от ПК: запуск ждёт его возвращения")
                    : tr("преобразователь подключен снова: запуск продолжается"))
                        .toUtf8()
                + '\n');
    });
    connect(&waitTimer, &QTimer::timeout, &run, &CommissioningRun::stop);
    connect(&run, &CommissioningRun::finished, &loop, &QEventLoop::quit);
    CliStopSignals stopSignals;
    connect(&stopSignals, &CliStopSignals::stopAsked, this, [&](int number) {
        if (interrupted != 0) {
            // Asked twice: the run ends now, with what it has.
            loop.quit();
            return;
        }
        interrupted = number;
        run.stop();
    });

    if (!run.start(options, &error)) {
        closeLink();
        return failWith(CliExit::Usage, error);
    }
    if (run.isRunning())
        loop.exec();
    waitTimer.stop();
    endProgress();
    // Ended hard (a second signal): the reader being served is left as it stands.
    run.abandon();
    const QList<CommissionRecord> records = run.records();
    writeReport();
    if (!reportError.isEmpty())
        return failWith(CliExit::FileError,
                        tr("отчёт %1 не записывается: %2").arg(m_options.reportFile, reportError));
    if (interrupted != 0) {
        m_error = tr("запуск прерван сигналом %1, отчёт записан в %2")
                          .arg(interrupted)
                          .arg(m_options.reportFile);
        return 128 + interrupted;
    }
    bool anyServed = false;
    for (const CommissionRecord &record : qAsConst(records)) {
        if (record.time.isValid())
            anyServed = true;
        if (record.verdict == CommissionRecord::Verified)
            continue;
        if (record.verdict == CommissionRecord::Untouched && !record.time.isValid()
            && options.mode == CommissionOptions::Assign)
            continue;
        QString why = CommissionReport::differencesAndReason(record);
        if (why.isEmpty())
            why = CommissionReport::verdictText(record.verdict);
        return failWith(exitCodeOf(record), tr("модуль %1: %2").arg(record.addressBefore).arg(why));
    }
    if (!anyServed && options.mode == CommissionOptions::Assign)
        return failWith(CliExit::NoAnswer,
                        tr("ни один модуль не ответил на заводском адресе %1 на порту %2")
                                .arg(m_options.factory)
                                .arg(m_options.port));
    return CliExit::Done;
}
