#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <sys/types.h>
#include <unistd.h>

// Root ignores file modes, so a test that asks "can another account read this?"
// runs the question as that account through setpriv. Only root can do so;
// without it such tests are skipped, never passed.
namespace OtherAccount {

// An account of its own, as the launcher's user would be.
constexpr uid_t user = 65534;
// Any other account on the same machine.
constexpr uid_t stranger = 65533;

inline bool available()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}

// Runs program as uid (group of the same number, no supplementary groups).
inline bool run(uid_t uid, const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess child;
    child.start(QStringLiteral("setpriv"),
        QStringList {QStringLiteral("--reuid=%1").arg(uid), QStringLiteral("--regid=%1").arg(uid),
            QStringLiteral("--clear-groups"), program}
            + arguments);
    if (!child.waitForFinished(30000))
        return false;
    if (output)
        *output = child.readAllStandardOutput();
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

inline bool canRead(uid_t uid, const QString &path)
{
    return run(uid, QStringLiteral("cat"), {path});
}

} // namespace OtherAccount
