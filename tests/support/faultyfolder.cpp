#include "faultyfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
const char *const kFiller = ".filler";

// A private mount namespace for this process, made once: mounts of the tests stay in it and
// never reach the machine.
bool privateMountNamespace(QString *why)
{
    static int state = 0; // 0 not tried, 1 done, -1 failed
    static QString failure;
    if (state == 0) {
        if (unshare(CLONE_NEWNS) != 0) {
            failure = QStringLiteral("unshare(CLONE_NEWNS): ")
                      + QString::fromLocal8Bit(strerror(errno));
            state = -1;
        } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            failure = QStringLiteral("making / private: ")
                      + QString::fromLocal8Bit(strerror(errno));
            state = -1;
        } else {
            state = 1;
        }
    }
    if (state < 0)
        *why = failure;
    return state > 0;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}
} // namespace

FaultyFolder::FaultyFolder(Kind kind)
    : m_kind(kind)
    , m_path(m_dir.isValid() ? m_dir.path() : QString())
{ }

FaultyFolder::FaultyFolder(Kind kind, const QString &existingFolder)
    : m_kind(kind)
    , m_path(existingFolder)
{
    m_dir.remove();
}

FaultyFolder::~FaultyFolder()
{
    if (!m_mountPoint.isEmpty())
        umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
}

bool FaultyFolder::writeFile(const QString &name, const QByteArray &bytes)
{
    m_earlier.append({name, bytes});
    return writeBytes(filePath(name), bytes);
}

bool FaultyFolder::engage()
{
    if (m_path.isEmpty()) {
        m_skipReason = QStringLiteral("no temporary folder");
        return false;
    }
    const QByteArray path = QFile::encodeName(m_path);

    if (geteuid() != 0) {
        m_skipReason = QStringLiteral("the mounts need root");
        return false;
    }

    if (!privateMountNamespace(&m_skipReason))
        return false;

    if (m_kind == ReadOnly) {
        if (mount(path.constData(), path.constData(), nullptr, MS_BIND | MS_REC, nullptr) != 0) {
            m_skipReason = QStringLiteral("bind mount: ") + QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        m_mountPoint = m_path;
        if (mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr)
            != 0) {
            m_skipReason = QStringLiteral("read-only remount: ")
                           + QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        return true;
    }
    return mountTmpfs() && fill();
}

bool FaultyFolder::mountTmpfs()
{
    // Over the folder: the earlier files are written again onto the tmpfs.
    const QByteArray path = QFile::encodeName(m_path);
    if (mount("tmpfs", path.constData(), "tmpfs", 0, "size=256k") != 0) {
        m_skipReason = QStringLiteral("tmpfs mount: ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    m_mountPoint = m_path;
    for (const auto &file : m_earlier) {
        if (!writeBytes(filePath(file.first), file.second)) {
            m_skipReason = QStringLiteral("earlier file on the tmpfs: ") + file.first;
            return false;
        }
    }
    return true;
}

bool FaultyFolder::fill()
{
    const int fd = ::open(QFile::encodeName(filePath(kFiller)).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        m_skipReason = QStringLiteral("filler: ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    const QByteArray block(4096, 'x');
    // Blocks, then single bytes for the last partial page: afterwards not one byte fits.
    while (::write(fd, block.constData(), size_t(block.size())) > 0) { }
    while (::write(fd, block.constData(), 1) > 0) { }
    const bool full = errno == ENOSPC;
    ::close(fd);
    if (!full)
        m_skipReason = QStringLiteral("the tmpfs did not fill up");
    return full;
}

QStringList FaultyFolder::files() const
{
    QStringList list;
    QDirIterator it(m_path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(m_path).relativeFilePath(it.next());
        if (relative != QLatin1String(kFiller))
            list << relative;
    }
    list.sort();
    return list;
}
