#include "testsupport.h"

#include "apppaths.h"
#include "simreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString commandCodes(const QList<QByteArray> &frames)
{
    QStringList codes;
    for (const QByteArray &frame : frames)
        codes << QString::fromLatin1(frame.mid(3, 2).toHex());
    return codes.join(QLatin1Char(' '));
}

SimReaderSettings simReader(quint8 address, quint32 speed, const QString &firmware)
{
    SimReaderSettings s;
    s.address = address;
    s.speed = speed;
    s.firmware = firmware;
    s.rebootSilenceMs = 300;
    return s;
}

TempProgramDir::TempProgramDir(bool withDevicesDb, bool withTranslations)
{
    AppPaths::setProgramDir(m_dir.path());
    if (withDevicesDb)
        QFile::copy(QStringLiteral(ZEMO_APP_BUILD_DIR "/devices.db"), m_dir.filePath("devices.db"));
    if (withTranslations) {
        QDir(m_dir.path()).mkpath(QStringLiteral("translations"));
        QFile::copy(QStringLiteral(ZEMO_APP_BUILD_DIR "/translations/en.qm"),
                    m_dir.filePath("translations/en.qm"));
    }
}

TempProgramDir::~TempProgramDir()
{
    AppPaths::setProgramDir(QString());
}

bool createSqliteFile(const QString &path, const QString &sql, QString *error)
{
    const QString name = QStringLiteral("fixture-") + QUuid::createUuid().toString();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
            ok = false;
        } else {
            for (const QString &statement : sql.split(QRegExp(QStringLiteral(";\\s*\\n")))) {
                if (statement.trimmed().isEmpty())
                    continue;
                QSqlQuery query(db);
                if (!query.exec(statement)) {
                    if (error)
                        *error = statement + QStringLiteral(": ") + query.lastError().text();
                    ok = false;
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

BoxRecorder::BoxRecorder()
{
    Prompter::setDefaultHandlers(
            [this](const MessageRequest &request) {
                boxes.append(request);
                return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
            },
            [this](const FileRequest &request) {
                fileRequests.append(request);
                return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
            },
            [this](const QUrl &url) {
                openedUrls.append(url);
                return urlsOpen;
            });
}

BoxRecorder::~BoxRecorder()
{
    Prompter::setDefaultHandlers({}, {}, {});
}

QString BoxRecorder::describe() const
{
    static const char *const icons[] = {"NoIcon", "Information", "Warning", "Critical", "Question"};
    QStringList lines;
    for (const MessageRequest &box : boxes) {
        const int icon = int(box.icon);
        lines << QLatin1String(icon >= 0 && icon < 5 ? icons[icon] : "?") + QLatin1Char(' ')
                         + box.title + QStringLiteral(" | ") + box.text;
    }
    return lines.join(QStringLiteral("\n"));
}

void BoxRecorder::clear()
{
    boxes.clear();
    fileRequests.clear();
    openedUrls.clear();
}

QStringList firstArgs(const QList<QList<QVariant>> &spy)
{
    QStringList args;
    for (const QList<QVariant> &signal : spy)
        args << signal.value(0).toString();
    return args;
}

bool writeTestFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString appBuildPath(const QString &name)
{
    return QStringLiteral(ZEMO_APP_BUILD_DIR "/") + name;
}

QString toolBuildPath(const QString &name)
{
    return QStringLiteral(ZEMO_TOOLS_BUILD_DIR "/") + name;
}

#include "loghandler.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex g_captureMutex;
QStringList g_captured;
int g_captureDepth = 0;
QtMessageHandler g_previous = nullptr;
bool g_quiet = qEnvironmentVariableIsSet("ZEMO_TEST_QUIET");

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&g_captureMutex);
        g_captured.append(LogHandler::stripTags(message));
    }
    if (type == QtFatalMsg || !g_quiet) {
        if (g_previous)
            g_previous(type, context, message);
    }
}
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_captureMutex);
    // Captures may be nested (several rigs at once): they share the lines of the outermost.
    if (g_captureDepth++ > 0)
        return;
    g_captured.clear();
    g_previous = qInstallMessageHandler(captureHandler);
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&g_captureMutex);
    if (--g_captureDepth == 0)
        qInstallMessageHandler(g_previous);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&g_captureMutex);
    return g_captured;
}

int LogCapture::count(const QString &text) const
{
    QMutexLocker lock(&g_captureMutex);
    int n = 0;
    for (const QString &line : g_captured)
        if (line.contains(text))
            ++n;
    return n;
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_captureMutex);
    g_captured.clear();
}

QString randomLoopbackAddress()
{
    QRandomGenerator *random = QRandomGenerator::global();
    return QStringLiteral("127.%1.%2.%3")
            .arg(random->bounded(1, 255))
            .arg(random->bounded(1, 255))
            .arg(random->bounded(1, 255));
}
