#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A folder whose writes fail as on a full disk or a read-only medium. Files that must be there
// before (the earlier configuration, history, image) are written first; engage() then makes the
// folder faulty.
//
// Tests run as root here and in CI, and permissions do not stop root: the test process takes a
// private mount namespace (once, from the thread that calls engage(), which must be the thread
// that writes) and the folder becomes a small tmpfs filled to the last byte, or a read-only bind
// mount of itself; the mounts vanish with the process. Without root skipReason() says why not.
class FaultyFolder
{
public:
    enum Kind { Full, ReadOnly };

    explicit FaultyFolder(Kind kind);
    // An existing folder instead of a temporary one of its own (for a part of a program folder).
    FaultyFolder(Kind kind, const QString &existingFolder);
    ~FaultyFolder();
    FaultyFolder(const FaultyFolder &) = delete;
    FaultyFolder &operator=(const FaultyFolder &) = delete;

    QString path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + QLatin1Char('/') + name; }

    // Before engage(): a file with its folders.
    bool writeFile(const QString &name, const QByteArray &bytes);
    // Makes the folder faulty; false (with skipReason()) when this machine cannot.
    bool engage();
    QString skipReason() const { return m_skipReason; }

    // Every file below the folder, relative, sorted; the filler of a full disk left out.
    QStringList files() const;

private:
    bool mountTmpfs();
    bool fill();

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_path; // the temporary folder, or the existing one
    QString m_mountPoint; // where a mount of ours lies, to be detached again
    QString m_skipReason;
    QList<QPair<QString, QByteArray>> m_earlier; // written onto a tmpfs once it is mounted
};
