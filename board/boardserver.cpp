#include "boardserver.h"

#include "protocolnumbers.h"
#include "rawpty.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 kBytesPerSecond = Dimra::kLineBytesPerSecond;

QString lastError()
{
    return QString::fromLocal8Bit(strerror(errno));
}

} // namespace

CBoardServer::CBoardServer(CBoardModel *model, QObject *parent)
    : QObject(parent), m_model(model), m_paceTimer(new QTimer(this))
{
    m_paceTimer->setTimerType(Qt::PreciseTimer);
    m_paceTimer->setInterval(1);
    connect(m_paceTimer, &QTimer::timeout, this, &CBoardServer::writePending);
}

CBoardServer::~CBoardServer()
{
    if (!m_link.isEmpty()) {
        // Only our own link: someone may have put theirs in its place.
        const QByteArray device = QFile::encodeName(m_strDevice);
        char target[PATH_MAX];
        const ssize_t n = ::readlink(m_link.constData(), target, sizeof target);
        if (n == device.size() && std::memcmp(target, device.constData(), size_t(n)) == 0)
            ::unlink(m_link.constData());
    }
    if (m_bOwnFds) {
        ::close(m_inFd);
        ::close(m_ptySlave);
        if (m_opensFd >= 0)
            ::close(m_opensFd);
    } else if (m_inFd >= 0) {
        ::fcntl(m_inFd, F_SETFL, m_inFlags);
        ::fcntl(m_outFd, F_SETFL, m_outFlags);
    }
}

bool CBoardServer::openPty(QString *error)
{
    const std::optional<RawPty> pty = OpenRawPty();
    if (!pty) {
        *error = tr("cannot create a pseudo-terminal: %1").arg(lastError());
        return false;
    }
    // Every open and close of the device by a host shows here; the board's
    // own end, opened before, is not counted.
    m_opensFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_opensFd < 0
        || ::inotify_add_watch(m_opensFd, QFile::encodeName(pty->slavePath).constData(), IN_OPEN | IN_CLOSE) < 0) {
        *error = tr("cannot watch the pseudo-terminal %1: %2").arg(pty->slavePath, lastError());
        if (m_opensFd >= 0)
            ::close(m_opensFd);
        m_opensFd = -1;
        ::close(pty->master);
        ::close(pty->slave);
        return false;
    }
    m_ptySlave = pty->slave;
    m_strDevice = pty->slavePath;
    attach(pty->master, pty->master);
    m_bOwnFds = true;
    auto *opens = new QSocketNotifier(m_opensFd, QSocketNotifier::Read, this);
    connect(opens, &QSocketNotifier::activated, this, &CBoardServer::readOpens);
    return true;
}

void CBoardServer::attach(int inFd, int outFd)
{
    m_inFd = inFd;
    m_outFd = outFd;
    // Both read before either is set: standard input and output may share flags.
    m_inFlags = ::fcntl(m_inFd, F_GETFL);
    m_outFlags = ::fcntl(m_outFd, F_GETFL);
    ::fcntl(m_inFd, F_SETFL, m_inFlags | O_NONBLOCK);
    ::fcntl(m_outFd, F_SETFL, m_outFlags | O_NONBLOCK);
    m_readNotifier = new QSocketNotifier(m_inFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CBoardServer::readInput);
    m_writeNotifier = new QSocketNotifier(m_outFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CBoardServer::lineWritable);
}

bool CBoardServer::linkTo(const QByteArray &where, QString *error)
{
    // symlink() never replaces: of two boards given one path, one gets it.
    if (::symlink(QFile::encodeName(m_strDevice).constData(), where.constData()) != 0) {
        const QString path = QFile::decodeName(where);
        *error = errno == EEXIST ? tr("%1 exists already and is left as it is; choose another path").arg(path)
                                 : tr("cannot make a symbolic link at %1: %2").arg(path, lastError());
        return false;
    }
    m_link = where;
    return true;
}

void CBoardServer::readInput()
{
    // One read per wake-up, so that a stream of input never holds up sending.
    char buf[4096];
    const ssize_t n = ::read(m_inFd, buf, sizeof buf);
    if (n > 0) {
        const qint64 droppedBefore = m_nDropped;
        QList<CBoardModel::Output> answers;
        const QList<CFrameReader::Frame> frames = m_model->receive(QByteArray(buf, int(n)), &answers);
        for (const CBoardModel::Output &answer : answers)
            enqueue(answer);
        if (m_nDropped != droppedBefore)
            emit answersDropped();
        if (!frames.isEmpty())
            emit framesReceived(frames);
        writePending();
    } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    } else {
        endInput(n < 0 ? tr("reading the input failed: %1").arg(lastError()) : QString());
    }
}

void CBoardServer::readOpens()
{
    alignas(inotify_event) char buf[4096];
    ssize_t n;
    while ((n = ::read(m_opensFd, buf, sizeof buf)) > 0) {
        for (const char *p = buf; p < buf + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            if (event->mask & IN_OPEN)
                ++m_nHostOpens;
            if ((event->mask & IN_CLOSE) && m_nHostOpens > 0 && --m_nHostOpens == 0)
                hostLeft();
            p += sizeof(inotify_event) + event->len;
        }
    }
}

void CBoardServer::hostLeft()
{
    if (!m_queue.isEmpty()) {
        dropAll();
        writePending(); // nothing owed: nothing to wake for
        emit answersDropped();
    }
    // However the host went, killed included, the line is as new for the
    // next: not kept exclusive for a program that is gone (which would make
    // every later open by an ordinary user fail as busy), raw, and without
    // what was written for the host that left.
    ::ioctl(m_ptySlave, TIOCNXCL);
    termios tio;
    if (::tcgetattr(m_ptySlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_ptySlave, TCSANOW, &tio);
    }
    ::tcflush(m_ptySlave, TCIFLUSH);
}

void CBoardServer::endInput(const QString &error)
{
    m_bInputEnded = true;
    m_readNotifier->setEnabled(false);
    if (!error.isEmpty()) {
        m_strError = error;
        dropAll();
    }
    writePending(); // finishes at once if nothing is owed
}

void CBoardServer::enqueue(const CBoardModel::Output &answer)
{
    if (m_queue.isEmpty()) {
        m_burstClock.start();
        m_nBurstSent = 0;
    }
    m_queue.append(answer);
    m_nQueued += answer.bytes.size();
    // An answer already begun is finished, or the host would get half a frame.
    while (m_nQueued > kQueueLimit && m_queue.size() > 1)
        dropAt(m_nHeadSent > 0 ? 1 : 0);
}

void CBoardServer::dropAll()
{
    while (!m_queue.isEmpty())
        dropAt(0);
    m_nHeadSent = 0;
}

void CBoardServer::dropAt(int index)
{
    m_nQueued -= m_queue.at(index).bytes.size() - (index == 0 ? m_nHeadSent : 0);
    if (index == 0)
        m_nHeadSent = 0;
    m_queue.removeAt(index);
    ++m_nDropped;
}

void CBoardServer::writePending()
{
    qsizetype allowed = m_nQueued;
    // The pace clock runs only while answers are owed.
    if (m_bPaced && m_nQueued > 0) {
        const qint64 due = m_burstClock.nsecsElapsed() * kBytesPerSecond / 1000000000 + 1 - m_nBurstSent;
        allowed = qBound<qsizetype>(0, due, m_nQueued);
    }
    bool lineFull = false;
    while (allowed > 0) {
        const CBoardModel::Output &head = m_queue.first();
        const qsizetype chunk = qMin(allowed, head.bytes.size() - m_nHeadSent);
        const ssize_t n = ::write(m_outFd, head.bytes.constData() + m_nHeadSent, size_t(chunk));
        if (n > 0) {
            m_nHeadSent += n;
            m_nQueued -= n;
            m_nBurstSent += n;
            allowed -= n;
            if (m_nHeadSent == head.bytes.size()) {
                m_nHeadSent = 0;
                emit sent(m_queue.takeFirst());
            }
        } else if (n < 0 && errno == EAGAIN) {
            lineFull = true;
            break;
        } else if (!(n < 0 && errno == EINTR)) {
            // Nobody takes the answers any more.
            dropAll();
            emit answersDropped();
            if (m_strDevice.isEmpty() && !m_bInputEnded)
                endInput(tr("writing an answer failed: %1").arg(lastError()));
            break;
        }
    }
    // A full line wakes us when it takes more; pacing wakes us when the next
    // byte is due; with nothing owed nothing runs.
    const bool owed = !m_queue.isEmpty();
    m_writeNotifier->setEnabled(owed && (lineFull || !m_bPaced));
    if (owed && m_bPaced && !lineFull) {
        if (!m_paceTimer->isActive())
            m_paceTimer->start();
    } else {
        m_paceTimer->stop();
    }
    if (!owed && m_bInputEnded && !m_bFinished) {
        m_bFinished = true;
        emit finished();
    }
}

void CBoardServer::lineWritable()
{
    // After a stall the pace starts again, rather than catching up in a burst.
    m_burstClock.start();
    m_nBurstSent = 0;
    writePending();
}
