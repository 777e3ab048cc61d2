#pragma once

#include "prompter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

struct SimReaderSettings;

// Hexadecimal text of bytes, "05 03 dc ...", for failure messages.
QString hexBytes(const QByteArray &bytes);
// The command codes of request frames, "0100 0700 ...".
QString commandCodes(const QList<QByteArray> &frames);

// A simulated reader at the address and speed given, running the firmware given, silent for
// 300 ms after a reboot (the tests need not wait the second of a real reader).
SimReaderSettings simReader(quint8 address, quint32 speed = 19200,
                            const QString &firmware = QStringLiteral("1.3.2"));

// A temporary program folder for the duration of a test: AppPaths points at it, and it is
// removed afterwards. withDevicesDb copies the shipped devices.db from the build tree,
// withTranslations the English catalogue.
class TempProgramDir
{
public:
    explicit TempProgramDir(bool withDevicesDb = false, bool withTranslations = false);
    ~TempProgramDir();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

// Builds an SQLite file from SQL statements (separated by ';' at line ends), through its own
// connection so that the program's default connection is untouched.
bool createSqliteFile(const QString &path, const QString &sql, QString *error = nullptr);

// Answers every modal box of every Prompter without its own handler, and remembers what was
// asked. Answers are taken from the queue; when it is empty, defaultAnswer is given.
class BoxRecorder
{
public:
    BoxRecorder();
    ~BoxRecorder();

    QList<MessageRequest> boxes;
    QList<Prompt::Button> answers;
    Prompt::Button defaultAnswer = Prompt::Ok;
    QList<FileRequest> fileRequests;
    QStringList fileAnswers;
    QList<QUrl> openedUrls;
    bool urlsOpen = true; // false: as where no program opens them

    // One line a box: "<icon> title | text" (icon Information, Warning, Critical, Question or
    // NoIcon), to compare with an expected text or to print in a message.
    QString describe() const;
    void clear();
};

// The first argument of every signal a spy has caught, as text.
QStringList firstArgs(const QList<QList<QVariant>> &spy);

// Writes bytes to a file, creating its folder; false on failure.
bool writeTestFile(const QString &path, const QByteArray &bytes);
// A file's content, empty when it cannot be read.
QByteArray readTestFile(const QString &path);

// Runs the deferred deletions (deleteLater) that a closed dialog has asked for.
void processDeletions();

// The path of a program built in the build tree's program folder or tools folder.
QString appBuildPath(const QString &name);
QString toolBuildPath(const QString &name);

// Collects every log message (tags removed) while it lives; thread-safe. Messages still go to
// the handler that was installed before, so a failing test shows its log.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    // Number of messages that contain the text.
    int count(const QString &text) const;
    bool contains(const QString &text) const { return count(text) > 0; }
    void clear();
};

// A random address of the loopback net 127.0.0.0/8 (never 127.0.0.1), so that tests that need a
// fixed port (FTP's 21) can run beside each other.
QString randomLoopbackAddress();
