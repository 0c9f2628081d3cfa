#include "CleanProcess.h"

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#endif

CleanProcess::CleanProcess(QObject *parent)
    : QProcess(parent)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
    // Not Qt 6.6's CloseFileDescriptors: it closes QProcess's start-up pipe
    // too, and a client that is not there then reads as one that exited
    // with code 255 instead of one that failed to start.
    setChildProcessModifier(markInheritedDescriptorsCloseOnExec);
#endif
    // Windows: CreateProcess passes only handles marked inheritable, and
    // QProcess marks only the child's ends of its own pipes so.
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && !defined(Q_OS_WIN)
void CleanProcess::setupChildProcess()
{
    markInheritedDescriptorsCloseOnExec();
}
#endif

#ifndef Q_OS_WIN
void markInheritedDescriptorsCloseOnExec()
{
#if defined(CLOSE_RANGE_CLOEXEC)
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
#elif defined(SYS_close_range)
    // The C library predates the call; the kernel may still have it (5.11 on).
    constexpr unsigned int closeRangeCloexec = 1U << 2;
    if (::syscall(SYS_close_range, 3U, ~0U, closeRangeCloexec) == 0)
        return;
#endif
    // An older kernel: one descriptor at a time, up to the limit.
    struct rlimit limit;
    int highest = 65536;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        highest = limit.rlim_cur < rlim_t(1 << 20) ? int(limit.rlim_cur) : (1 << 20);
    for (int fd = 3; fd < highest; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}
#endif
