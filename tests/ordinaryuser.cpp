#include "ordinaryuser.h"

#include <QDeadlineTimer>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

bool dropPrivileges()
{
    if (!runsAsRoot())
        return true;
    if (::setgroups(0, nullptr) != 0 || ::setgid(OrdinaryGid()) != 0 || ::setuid(OrdinaryUid()) != 0)
        return false;
    // Changing user makes a process undumpable; a leak checker that looks
    // at the process at its end must still be let in.
    ::prctl(PR_SET_DUMPABLE, 1);
    return true;
}

} // namespace

uid_t OrdinaryUid()
{
    if (!runsAsRoot())
        return ::getuid();
    const passwd *nobody = ::getpwnam("nobody");
    return nobody ? nobody->pw_uid : 65534;
}

gid_t OrdinaryGid()
{
    if (!runsAsRoot())
        return ::getgid();
    const passwd *nobody = ::getpwnam("nobody");
    return nobody ? nobody->pw_gid : 65534;
}

QStringList AsOrdinaryUser(const QString &program, const QStringList &arguments)
{
    if (!runsAsRoot())
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(OrdinaryUid()),
                       QStringLiteral("--regid=%1").arg(OrdinaryGid()), QStringLiteral("--clear-groups"), program}
        + arguments;
}

pid_t ForkAsOrdinaryUser(const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(dropPrivileges() ? body() : 125);
    return child;
}

int WaitForChild(pid_t child, int timeoutMs)
{
    if (child <= 0)
        return -1;
    QDeadlineTimer deadline(timeoutMs);
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(child, &status, WNOHANG)) == 0 && !deadline.hasExpired())
        QThread::msleep(5);
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return done == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool BecomeOrdinaryUser()
{
    return dropPrivileges();
}
