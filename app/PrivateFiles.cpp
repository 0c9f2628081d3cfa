#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace {

void narrowDescriptor(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) == 0 && (st.st_mode & 077))
        ::fchmod(fd, st.st_mode & 0700);
}

bool makePrivateDirectory(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateDirectory(path);
}

} // namespace
#endif

bool narrowToOwner(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return true;
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // A link is never followed: its target is someone else's business.
    if (::lstat(name.constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    return !(st.st_mode & 077) || ::chmod(name.constData(), st.st_mode & 0700) == 0;
#endif
}

bool makeOwnerOnlyDirectory(const QString &dir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(dir)
    return true;
#else
    const QString parent = QFileInfo(dir).absolutePath();
    if (!QFileInfo::exists(parent))
        QDir().mkpath(parent);
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) == 0)
        return true;
    return errno == EEXIST && QFileInfo(dir).isDir() && narrowToOwner(dir);
#endif
}

bool makeOwnerOnlyFile(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return true;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno == EEXIST && narrowToOwner(path);
#endif
}

int openOwnerOnlyForAppend(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return -1;
#else
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        narrowDescriptor(fd);
    return fd;
#endif
}

bool isPrivateDirectory(const QString &path)
{
#ifdef Q_OS_WIN
    return QFileInfo(path).isDir();
#else
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
#endif
}

QString privateRuntimeFolder(const QString &tempDir, const QString &runtimeDir)
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
    // Never worse than before: the caller still has a folder to work in.
    return tempDir;
#endif
}
