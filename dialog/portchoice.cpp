#include "portchoice.h"

#include "abstractboardlink.h"
#include "remoteaddress.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <memory>
#include <utility>

namespace {

const QString kPortKey = QStringLiteral("port");
const QString kReconnectKey = QStringLiteral("reconnect");

std::unique_ptr<QSettings> settings()
{
    return std::make_unique<QSettings>(CPortChoice::settingsPath(), QSettings::IniFormat);
}

} // namespace

CPortChoice::CPortChoice(const CAbstractBoardLink &link, QObject *parent)
    : QObject(parent), m_link(&link), m_reconnect(settings()->value(kReconnectKey, false).toBool())
{
    m_wait.setInterval(kLookMs);
    connect(&m_wait, &QTimer::timeout, this, &CPortChoice::look);
    follow(link);
}

void CPortChoice::follow(const CAbstractBoardLink &link)
{
    m_link->disconnect(this);
    m_link = &link;
    connect(&link, &CAbstractBoardLink::opened, this, [this] {
        m_open = true;
        stopWaiting();
    });
    connect(&link, &CAbstractBoardLink::linked, this, &CPortChoice::rememberAdapter);
}

QString CPortChoice::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/dimra/dimra.conf");
}

int CPortChoice::rememberedNumber(const CommPortTargets &targets) const
{
    const QString identity = settings()->value(kPortKey).toString();
    for (auto it = targets.cbegin(); it != targets.cend() && !identity.isEmpty(); ++it)
        if (it->identity == identity)
            return it.key();
    return 0;
}

QString CPortChoice::rememberedAddress() const
{
    const QString stored = settings()->value(kPortKey).toString();
    return IsRemotePortName(stored.toUtf8()) ? stored : QString();
}

void CPortChoice::setReconnects(bool on)
{
    m_reconnect = on;
    settings()->setValue(kReconnectKey, on);
    if (!on) {
        m_told = false;
        stopWaiting();
    }
}

// The board answered: this adapter, or this address, is the one to select
// next time.
void CPortChoice::rememberAdapter()
{
    m_told = false;
    const QString address = m_link->devicePath();
    const QString identity = IsRemotePortName(address.toUtf8()) ? address : m_link->identity();
    if (identity.isEmpty())
        return;
    const std::unique_ptr<QSettings> stored = settings();
    if (stored->value(kPortKey).toString() != identity)
        stored->setValue(kPortKey, identity);
}

void CPortChoice::closed()
{
    m_open = false;
    m_told = false;
    stopWaiting();
}

CPortChoice::Loss CPortChoice::portClosed()
{
    if (!std::exchange(m_open, false))
        return Loss::None;
    // Only an adapter that a loss took away can come back.
    if (!m_reconnect || m_link->lostIdentity().isEmpty())
        return Loss::Tell;
    m_lastTry.clear();
    m_wait.start();
    return std::exchange(m_told, true) ? Loss::Quiet : Loss::Notice;
}

QString CPortChoice::waitingText() const
{
    if (m_link->lostIdentity().isEmpty())
        return QString();
    QString text = tr("%1（%2）的适配器已断开。正在等待同一个适配器重新插上，插上后自动重新连接。")
                       .arg(QFile::decodeName(m_link->lostPort()), m_link->lostIdentity());
    if (!m_lastTry.isEmpty())
        text += QLatin1Char('\n') + tr("上一次重新连接没有成功：%1").arg(m_lastTry);
    return text;
}

void CPortChoice::retryFailed(const QString &why)
{
    // The port may have opened, ending the wait, before it failed.
    m_open = false;
    m_wait.start();
    m_lastTry = why;
}

void CPortChoice::look()
{
    // Opening the adapter looks at the ports again, which asks here again.
    if (!waiting() || m_trying)
        return;
    if (const int port = m_link->lostAdapterNumber(); port > 0) {
        m_trying = true;
        emit adapterBack(port);
        m_trying = false;
    }
}

void CPortChoice::stopWaiting()
{
    m_wait.stop();
    m_lastTry.clear();
}
