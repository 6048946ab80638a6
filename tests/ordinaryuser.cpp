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

// nobody's user and group, for a test that runs as root.
std::pair<uid_t, gid_t> nobody()
{
    const passwd *user = ::getpwnam("nobody");
    return user ? std::pair(user->pw_uid, user->pw_gid) : std::pair(uid_t(65534), gid_t(65534));
}

} // namespace

QStringList AsOrdinaryUser(const QString &program, const QStringList &arguments)
{
    if (::geteuid() != 0)
        return QStringList{program} + arguments;
    const auto [uid, gid] = nobody();
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(uid),
                       QStringLiteral("--regid=%1").arg(gid), QStringLiteral("--clear-groups"), program}
        + arguments;
}

pid_t ForkAsOrdinaryUser(const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(BecomeOrdinaryUser() ? body() : 125);
    return child;
}

int WaitForChild(pid_t child, int timeoutMs)
{
    if (child <= 0)
        return -1;
    const QDeadlineTimer deadline(timeoutMs);
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
    if (::geteuid() != 0)
        return true;
    const auto [uid, gid] = nobody();
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
        return false;
    // Changing user makes a process undumpable; a leak checker that looks at
    // the process at its end must still be let in.
    ::prctl(PR_SET_DUMPABLE, 1);
    return true;
}
