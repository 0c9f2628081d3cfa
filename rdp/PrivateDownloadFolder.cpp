#include "PrivateDownloadFolder.h"

#include <QFile>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace {

// A directory (not a link to one) of this user that nobody else may enter.
bool isPrivateDirectory(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

bool makePrivateDirectory(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateDirectory(path);
}

} // namespace
#endif

QString privateDownloadFolder(const QString &tempDir, const QString &runtimeDir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(runtimeDir)
    return tempDir;
#else
    if (runtimeDir.startsWith(QLatin1Char('/')) && isPrivateDirectory(runtimeDir)) {
        const QString folder = runtimeDir + QStringLiteral("/velmoclient");
        if (makePrivateDirectory(folder))
            return folder;
    }
    const QString uid = QString::number(::geteuid());
    const QString folder = tempDir + QStringLiteral("/velmoclient-") + uid;
    if (makePrivateDirectory(folder))
        return folder;
    // The name is taken by someone else's file, folder or link.
    QByteArray pattern
        = QFile::encodeName(tempDir + QStringLiteral("/velmoclient-") + uid + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()))
        return QFile::decodeName(pattern);
    // Never worse than before: the download still happens.
    return tempDir;
#endif
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
