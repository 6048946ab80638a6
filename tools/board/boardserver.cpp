#include "boardserver.h"

#include "rawpty.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qint64 kBytesPerSecond = 960; // 9600 baud, 10 bits a byte

} // namespace

CBoardServer::CBoardServer(CBoardModel *model, QObject *parent)
    : QObject(parent), m_model(model)
{
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_paceTimer.setInterval(1);
    connect(&m_paceTimer, &QTimer::timeout, this, &CBoardServer::writePending);
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
    }
}

bool CBoardServer::OpenPty(QString *error)
{
    const std::optional<RawPty> pty = OpenRawPty();
    if (!pty) {
        *error = QStringLiteral("无法创建伪终端：%1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_ptySlave = pty->slave;
    m_bOwnFds = true;
    m_strDevice = pty->slavePath;
    Attach(pty->master, pty->master);
    return true;
}

void CBoardServer::Attach(int inFd, int outFd)
{
    m_inFd = inFd;
    m_outFd = outFd;
    m_readNotifier = new QSocketNotifier(m_inFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CBoardServer::readInput);
    m_writeNotifier = new QSocketNotifier(m_outFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CBoardServer::writePending);
}

bool CBoardServer::LinkTo(const QString &path, QString *error)
{
    // symlink() never replaces: of two boards given one path, one gets it.
    const QByteArray where = QFile::encodeName(path);
    if (::symlink(QFile::encodeName(m_strDevice).constData(), where.constData()) != 0) {
        *error = errno == EEXIST ? QStringLiteral("%1 已存在，不会删除或替换它；请换一个路径").arg(path)
                                 : QStringLiteral("无法在 %1 创建符号链接：%2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_link = where;
    return true;
}

void CBoardServer::readInput()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_inFd, buf, sizeof buf);
        if (n > 0) {
            QList<CBoardModel::Output> answers;
            const QList<CFrameReader::Frame> frames = m_model->Receive(QByteArray(buf, int(n)), &answers);
            if (!frames.isEmpty())
                emit framesReceived(frames);
            for (const CBoardModel::Output &answer : answers) {
                emit sent(answer);
                queue(answer.bytes);
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // End of input, or a line that can no longer be read.
        m_readNotifier->setEnabled(false);
        emit inputEnded();
        return;
    }
}

void CBoardServer::queue(const QByteArray &bytes)
{
    if (m_pending.isEmpty()) {
        m_burstClock.start();
        m_nBurstSent = 0;
    }
    m_pending.append(bytes);
    if (m_bPaced)
        m_paceTimer.start();
    writePending();
}

void CBoardServer::writePending()
{
    qsizetype allowed = m_pending.size();
    if (m_bPaced) {
        const qint64 due = m_burstClock.nsecsElapsed() * kBytesPerSecond / 1000000000 + 1 - m_nBurstSent;
        allowed = qBound<qsizetype>(0, due, m_pending.size());
    }
    while (allowed > 0) {
        const ssize_t n = ::write(m_outFd, m_pending.constData(), size_t(allowed));
        if (n > 0) {
            m_pending.remove(0, n);
            m_nBurstSent += n;
            allowed -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            m_pending.clear(); // nobody is listening any more
        break; // the line is full: try again when it takes more
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty() && !m_bPaced);
    if (m_pending.isEmpty())
        m_paceTimer.stop();
}
