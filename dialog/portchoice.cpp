#include "portchoice.h"

#include "boardlink.h"
#include "protocolnumbers.h"

#include <QFile>
#include <QFileInfo>
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

// A device as the system finds it: a link as the node it leads to.
QString devicePathOf(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// The adapter's node is there to be opened.
bool present(const CommPortTarget &target)
{
#ifdef Q_OS_WIN
    return !target.device.isEmpty(); // COMn: only opening it tells
#else
    return !target.nativePath.isEmpty() && QFileInfo::exists(QFile::decodeName(target.nativePath));
#endif
}

} // namespace

CPortChoice::CPortChoice(QObject *parent)
    : QObject(parent), m_bReconnect(settings()->value(kReconnectKey, false).toBool())
{
    m_wait.setInterval(kLookMs);
    connect(&m_wait, &QTimer::timeout, this, &CPortChoice::look);
}

QString CPortChoice::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/dimra/dimra.conf");
}

int CPortChoice::rememberedIndex(const QList<CommPortTarget> &targets) const
{
    const QString identity = settings()->value(kPortKey).toString();
    for (qsizetype i = 0; i < targets.size() && !identity.isEmpty(); ++i)
        if (targets.at(i).identity == identity)
            return int(i);
    return -1;
}

int CPortChoice::numberAtStart(const QString &port, const QList<CommPortTarget> &targets)
{
    const std::optional<int> number = portNumberOf(port);
    if (!number || *number > 0)
        return number.value_or(0);
    const QString device = devicePathOf(port);
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const CommPortTarget &target = targets.at(i);
        if (!target.device.isEmpty() && (target.identity == port || devicePathOf(target.device) == device))
            return int(i) + 1;
    }
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (targets.at(i).device.isEmpty()) {
            qputenv(CommPortVariable(int(i) + 1).toLatin1().constData(), QFile::encodeName(port));
            return int(i) + 1;
        }
    }
    return 0;
}

void CPortChoice::setReconnects(bool on)
{
    m_bReconnect = on;
    settings()->setValue(kReconnectKey, on);
    if (!on) {
        m_bTold = false;
        stopWaiting();
    }
}

void CPortChoice::opened(int port, const CommPortTarget &target)
{
    m_opened = OpenedPort{port, target};
    m_lost.reset();
    stopWaiting();
}

void CPortChoice::linked()
{
    m_bTold = false;
    if (!m_opened || m_opened->target.identity.isEmpty())
        return;
    const std::unique_ptr<QSettings> stored = settings();
    if (stored->value(kPortKey).toString() != m_opened->target.identity)
        stored->setValue(kPortKey, m_opened->target.identity);
}

void CPortChoice::closed()
{
    m_opened.reset();
    m_bTold = false;
    stopWaiting();
}

CPortChoice::Loss CPortChoice::portClosed()
{
    if (!m_opened)
        return Loss::None;
    m_lost = std::exchange(m_opened, std::nullopt);
    if (!m_bReconnect)
        return Loss::Tell;
    m_strLastTry.clear();
    m_wait.start();
    return std::exchange(m_bTold, true) ? Loss::Quiet : Loss::Notice;
}

std::optional<CommPortTarget> CPortChoice::takeReplaced(int port, const CommPortTarget &target)
{
    if (!m_lost || m_lost->number != port || m_lost->target.identity == target.identity)
        return std::nullopt;
    return std::exchange(m_lost, std::nullopt)->target;
}

QString CPortChoice::waitingText() const
{
    if (!m_lost)
        return QString();
    QString text = tr("%1（%2）的适配器已断开。正在等待同一个适配器重新插上，插上后自动重新连接。")
                       .arg(CommPortName(m_lost->number), m_lost->target.identity);
    if (!m_strLastTry.isEmpty())
        text += QLatin1Char('\n') + tr("上一次重新连接没有成功：%1").arg(m_strLastTry);
    return text;
}

void CPortChoice::retryFailed(const QString &why)
{
    m_strLastTry = why;
}

void CPortChoice::look()
{
    // Opening the adapter looks at the ports again, which asks here again.
    if (!waiting() || !m_lost || m_bTrying)
        return;
    // Only the same adapter, under whatever number and node it has now.
    const QList<CommPortTarget> targets = ResolveCommPorts(Dimra::kPortCount);
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (targets.at(i).identity == m_lost->target.identity && present(targets.at(i))) {
            m_bTrying = true;
            emit adapterBack(int(i) + 1);
            m_bTrying = false;
            return;
        }
    }
}

void CPortChoice::stopWaiting()
{
    m_wait.stop();
    m_strLastTry.clear();
}
