#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "rawpty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    if (const std::optional<RawPty> pty = OpenRawPty()) {
        m_master = pty->master;
        m_slave = pty->slave;
        m_slavePath = pty->slavePath;
    }
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else {
            // The line is full: let the program read before writing on.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
    }
    return done == bytes.size();
}

qint64 PtyPair::offer(const QByteArray &bytes)
{
    const ssize_t n = m_master >= 0 ? ::write(m_master, bytes.constData(), size_t(bytes.size())) : -1;
    return qMax<qint64>(n, 0);
}

QByteArray PtyPair::read(int timeoutMs, int settleMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd pfd{m_master, POLLIN, 0};
        const int wait = out.isEmpty() ? int(qMin<qint64>(deadline.remainingTime(), 10)) : settleMs;
        if (::poll(&pfd, 1, wait) > 0 && (pfd.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, n);
                continue;
            }
        }
        if (!out.isEmpty() || deadline.hasExpired())
            break;
    }
    return out;
}

QByteArray PtyPair::readExactly(int count, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0 && out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, size_t(qMin<qsizetype>(count - out.size(), sizeof buf)));
        if (n > 0)
            out.append(buf, n);
        else
            QThread::msleep(1);
    }
    return out;
}

qint64 PtyPair::fillLine()
{
    const int flags = ::fcntl(m_slave, F_GETFL);
    ::fcntl(m_slave, F_SETFL, flags | O_NONBLOCK);
    const QByteArray zeros(4096, '\0');
    qint64 total = 0;
    // The system moves bytes on towards the far end in the background:
    // full means it still takes nothing a little later.
    for (int idle = 0, round = 0; idle < 2 && round < 200; ++round) {
        qint64 taken = 0;
        for (ssize_t n; (n = ::write(m_slave, zeros.constData(), size_t(zeros.size()))) > 0;)
            taken += n;
        total += taken;
        idle = taken == 0 ? idle + 1 : 0;
        QThread::msleep(5);
    }
    ::fcntl(m_slave, F_SETFL, flags);
    return total;
}

QByteArray PtyPair::readNow()
{
    QByteArray out;
    char buf[4096];
    ssize_t n = 0;
    while (m_master >= 0 && (n = ::read(m_master, buf, sizeof buf)) > 0)
        out.append(buf, n);
    return out;
}

bool PtyPair::programHasUnreadInput() const
{
    pollfd pfd{m_slave, POLLIN, 0};
    return m_slave >= 0 && ::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN);
}

termios PtyPair::lineSettings() const
{
    termios tio = {};
    ::tcgetattr(m_slave, &tio);
    return tio;
}

bool PtyPair::setLineSpeed(speed_t speed)
{
    termios tio = lineSettings();
    return ::cfsetspeed(&tio, speed) == 0 && ::tcsetattr(m_slave, TCSANOW, &tio) == 0;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyPair::endExclusiveUse()
{
    ::ioctl(m_slave, TIOCNXCL);
}
