#include "boardserver.h"

#include "rawpty.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
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
    if (!m_strLink.isEmpty() && QFileInfo(m_strLink).symLinkTarget() == QFileInfo(m_strDevice).absoluteFilePath())
        QFile::remove(m_strLink);
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
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        QFile::remove(path);
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 已存在且不是符号链接，不会覆盖它").arg(path);
        return false;
    }
    if (!QFile::link(m_strDevice, path)) {
        *error = QStringLiteral("无法创建符号链接 %1").arg(path);
        return false;
    }
    m_strLink = path;
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
