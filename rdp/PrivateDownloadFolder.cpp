#include "PrivateDownloadFolder.h"

#include "PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString privateDownloadFolder(const QString &tempDir, const QString &runtimeDir)
{
    return privateRuntimeFolder(tempDir, runtimeDir);
}

QString privateDownloadFolder()
{
    static QString chosen;
    static QString chosenFor;
    const QString tempDir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString inputs = tempDir + QLatin1Char('\n') + runtimeDir;
#ifndef Q_OS_WIN
    // A fresh folder is made only once per process, not for every download.
    if (inputs == chosenFor && chosen != tempDir && isPrivateDirectory(chosen))
        return chosen;
#endif
    chosen = privateDownloadFolder(tempDir, runtimeDir);
    chosenFor = inputs;
    return chosen;
}

namespace {

const QString desktopPrefix = QStringLiteral("desktop-");

// True only when no process of that number runs; one of another account is
// not ours to judge.
bool processIsGone(qint64 pid)
{
#ifdef Q_OS_WIN
    // Not asked here: such a folder stays.
    Q_UNUSED(pid)
    return false;
#else
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
#endif
}

} // namespace

QString makeDesktopFolder(const QString &folder)
{
    const QString pattern = folder + QLatin1Char('/') + desktopPrefix
        + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX");
#ifdef Q_OS_WIN
    QTemporaryDir made(pattern);
    made.setAutoRemove(false);
    return made.isValid() ? made.path() : QString();
#else
    // mkdtemp makes it 0700, whatever the umask.
    QByteArray name = QFile::encodeName(pattern);
    return ::mkdtemp(name.data()) ? QFile::decodeName(name) : QString();
#endif
}

void removeStaleDesktopFolders(const QString &folder)
{
    QDir dir(folder);
    const QStringList desktops
        = dir.entryList({desktopPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoSymLinks);
    for (const QString &name : desktops) {
        bool isNumber = false;
        const qint64 pid = name.section(QLatin1Char('-'), 1, 1).toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || !processIsGone(pid))
            continue;
        QDir(dir.filePath(name)).removeRecursively();
    }
    QFile::remove(dir.filePath(QStringLiteral("tmp.rdp")));
}

void removeStaleConnectionFile(const QString &tempDir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(tempDir)
#else
    const QByteArray path = QFile::encodeName(tempDir + QStringLiteral("/tmp.rdp"));
    struct stat st;
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & S_IROTH))
        ::unlink(path.constData());
#endif
}

void makeOwnerOnly(const QString &filePath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(filePath)
#else
    QFile::setPermissions(filePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}
