#include "remoteboardlink.h"

#include "mqttclient.h"
#include "remoteclient.h"
#include "serialerror.h"

namespace {

// The order a board reports its values in, as the link's replies come.
constexpr int kReportOrder[] = {CDimraProtocol::CmdChannel1, CDimraProtocol::CmdChannel2, CDimraProtocol::CmdChannel3,
                                CDimraProtocol::CmdFrequency};
// What a close may wait for the broker beyond the margin it is given: its round trips.
constexpr int kBrokerWaitMs = 1000;
// The most settings of one value kept for their echo: a second of a drag.
constexpr int kMaxUnconfirmed = 100;

const QByteArray kOnline = "online";
const QString kEveryStatus = QStringLiteral("dimra/bridge/+/status");
const QString kEveryList = QStringLiteral("dimra/bridge/+/boards");

} // namespace

CRemoteBoardLink::CRemoteBoardLink(QObject *parent)
    : CAbstractBoardLink(parent)
{
    m_clock.start();
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, [this] { flush(false); });
}

CRemoteBoardLink::~CRemoteBoardLink()
{
    ++m_nSession;
}

void CRemoteBoardLink::open(const QByteArray &port)
{
    QString error;
    const std::optional<RemoteAddress> address = ParseRemoteAddress(QString::fromUtf8(port), true, &error);
    if (!address)
        throw CSerialError(error, CSerialError::NoSuchDevice);
    const CMqttClient::Settings settings = RemoteClientSettings(*address);
    if (m_bOpen)
        close();

    m_address = *address;
    const int session = ++m_nSession;
    m_client = std::make_unique<CMqttClient>(settings);
    CMqttClient *client = m_client.get();
    connect(client, &CMqttClient::connected, this, [this, session] { take(session, [this] { onConnected(); }); },
            Qt::QueuedConnection);
    connect(client, &CMqttClient::messageReceived, this,
            [this, session](const QString &topic, const QByteArray &payload, bool retained) {
                take(session, [=] { onMessage(topic, payload, retained); });
            },
            Qt::QueuedConnection);
    connect(client, &CMqttClient::connectFailed, this,
            [this, session](const QString &reason) {
                take(session, [=] { fail(ConnectFailure(m_address, *m_client, reason)); });
            },
            Qt::QueuedConnection);
    connect(client, &CMqttClient::disconnected, this,
            [this, session](const QString &reason) { take(session, [=] { fail(BrokerLost(m_address, reason)); }); },
            Qt::QueuedConnection);
    connect(client, &CMqttClient::subscriptionRefused, this,
            [this, session] { take(session, [this] { fail(SubscriptionRefused(m_address)); }); }, Qt::QueuedConnection);

    m_bOpen = true;
    m_bConnected = false;
    m_bLinked = false;
    m_bLost = false;
    m_bKnown = false;
    m_state = {};
    m_availability.clear();
    m_bridgeStatus.clear();
    m_bridgeBoards.clear();
    m_reported = {};
    m_waiting = {};
    m_lastSentNs.fill(-1);
    for (QList<int> &values : m_unconfirmed)
        values.clear();
    // As the open-link frame on a line: the board reports once connected.
    m_bReportAsked = true;
    emit opened();
    if (session == m_nSession)
        client->start();
}

void CRemoteBoardLink::take(int session, const std::function<void()> &event)
{
    const auto current = [this, session, event] {
        if (session == m_nSession)
            event();
    };
    // Behind those still held, even when released: they come first.
    if (m_nHold > 0 || !m_held.isEmpty())
        m_held.append(current);
    else
        current();
}

void CRemoteBoardLink::releaseEvents()
{
    if (m_nHold == 0 || --m_nHold > 0 || m_held.isEmpty())
        return;
    // As a port's held events: delivered from the event loop, in order.
    QMetaObject::invokeMethod(this, &CRemoteBoardLink::deliverHeld, Qt::QueuedConnection);
}

void CRemoteBoardLink::deliverHeld()
{
    while (m_nHold == 0 && !m_held.isEmpty())
        m_held.takeFirst()();
}

void CRemoteBoardLink::onConnected()
{
    m_bConnected = true;
    // At QoS 0 the broker sends what it keeps and what comes after in order.
    for (const char *leaf : {"availability", "state", "error"})
        m_client->subscribe(boardTopic(m_address.boardId, QLatin1String(leaf)), 0);
    m_client->subscribe(kEveryStatus, 0);
    m_client->subscribe(kEveryList, 0);
    if (m_bReportAsked)
        publishGet();
    flush(false);
}

void CRemoteBoardLink::publishGet()
{
    m_bReportAsked = true;
    if (m_bConnected)
        m_client->publish(boardTopic(m_address.boardId, QStringLiteral("get")), QByteArray(), false);
}

void CRemoteBoardLink::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    const QString &id = m_address.boardId;
    if (topic == boardTopic(id, QStringLiteral("error"))) {
        // A refusal kept by the broker, or one with no setting of this link
        // waiting to show, is someone else's.
        if (retained || !echoesAwaited())
            return;
        for (QList<int> &values : m_unconfirmed)
            values.clear();
        emit refused(QString::fromUtf8(payload));
        return;
    }
    if (topic == boardTopic(id, QStringLiteral("state"))) {
        m_state = parseState(payload);
        m_bKnown = m_bKnown || !payload.isEmpty();
        if (!m_bLinked)
            for (int code : kReportOrder)
                if (m_state.values[code])
                    confirm(code, *m_state.values[code]);
        // The answer to this link's request shows the settings it sent
        // before it, as a board's report follows the frames before the
        // open-link frame; one kept from before is none.
        if (!retained && !echoesAwaited())
            m_bReportAsked = false;
    } else if (topic == boardTopic(id, QStringLiteral("availability"))) {
        m_availability = payload;
        m_bKnown = m_bKnown || !payload.isEmpty();
    } else if (const QString bridge = bridgeOfTopic(topic, "status"); !bridge.isEmpty()) {
        m_bridgeStatus.insert(bridge, payload);
    } else if (const QString lister = bridgeOfTopic(topic, "boards"); !lister.isEmpty()) {
        if (const std::optional<QStringList> ids = parseBoardList(payload))
            m_bridgeBoards.insert(lister, *ids);
        else
            m_bridgeBoards.remove(lister);
    } else {
        return;
    }
    follow();
}

QString CRemoteBoardLink::servingBridge() const
{
    QString listing;
    for (auto it = m_bridgeBoards.cbegin(); it != m_bridgeBoards.cend(); ++it) {
        if (!it.value().contains(m_address.boardId))
            continue;
        if (bridgeRuns(it.key()))
            return it.key();
        listing = it.key();
    }
    return listing;
}

bool CRemoteBoardLink::bridgeRuns(const QString &bridge) const
{
    return m_bridgeStatus.value(bridge) == kOnline;
}

void CRemoteBoardLink::follow()
{
    const int session = m_nSession;
    const bool shown = m_bConnected && !m_bReportAsked && m_state.linked && m_availability == kOnline
                        && bridgeRuns(servingBridge());
    if (!shown) {
        if (std::exchange(m_bLinked, false))
            emit unlinked();
        return;
    }
    if (!m_bLinked) {
        // The board's report: every value it holds, each its own reply.
        m_bLinked = true;
        m_reported = m_state.values;
        // The report is the board's word on every value; no echo is awaited after it.
        for (QList<int> &sent : m_unconfirmed)
            sent.clear();
        emit linked();
        for (int code : kReportOrder)
            if (session == m_nSession && m_reported[code])
                emit valueReported(code, *m_reported[code]);
        return;
    }
    for (int code : kReportOrder) {
        const std::optional<int> value = m_state.values[code];
        if (session != m_nSession || value == m_reported[code])
            continue;
        m_reported[code] = value;
        if (value && !confirm(code, *value))
            emit valueReported(code, *value);
    }
}

bool CRemoteBoardLink::echoesAwaited() const
{
    return std::any_of(m_unconfirmed.begin(), m_unconfirmed.end(), [](const QList<int> &sent) { return !sent.isEmpty(); });
}

bool CRemoteBoardLink::confirm(int code, int value)
{
    QList<int> &sent = m_unconfirmed[code];
    const qsizetype at = sent.lastIndexOf(value);
    if (at < 0)
        return false;
    sent.remove(0, at + 1);
    return true;
}

void CRemoteBoardLink::requestReport()
{
    if (!m_bOpen)
        throw CSerialError(tr("the board %1 is not open").arg(devicePath()));
    m_bLinked = false;
    m_reported = {};
    // What waits goes before the request, as frames on a line do.
    flush(true);
    publishGet();
}

void CRemoteBoardLink::send(int code, int value)
{
    if (!m_bOpen)
        throw CSerialError(tr("the board %1 is not open").arg(devicePath()));
    if (code < CDimraProtocol::CmdChannel1 || code > CDimraProtocol::CmdFrequency)
        return;
    m_waiting[code] = value;
    flushLater();
}

void CRemoteBoardLink::flushLater()
{
    // Settings given together go out together, as one command.
    if (std::exchange(m_bFlushPosted, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        m_bFlushPosted = false;
        flush(false);
    }, Qt::QueuedConnection);
}

void CRemoteBoardLink::flush(bool all)
{
    if (!m_bConnected)
        return; // they wait for the broker
    // In nanoseconds: whole milliseconds would let two commands go 9 ms apart.
    const qint64 now = m_clock.nsecsElapsed();
    constexpr qint64 kSpacingNs = kCommandSpacingMs * 1000000LL;
    BoardValues due;
    qint64 next = -1;
    for (int code : CDimraProtocol::kValueCodes) {
        if (!m_waiting[code])
            continue;
        const qint64 dueAt = m_lastSentNs[code] < 0 ? now : m_lastSentNs[code] + kSpacingNs;
        if (all || dueAt <= now) {
            due[code] = std::exchange(m_waiting[code], std::nullopt);
            m_lastSentNs[code] = now;
        } else {
            next = next < 0 ? dueAt : qMin(next, dueAt);
        }
    }
    // Rounded up to the timer's milliseconds; a timer early all the same
    // finds nothing due and waits again.
    const int waitMs = next < 0 ? -1 : int((next - now + 999999) / 1000000);
    if (waitMs >= 0 && (!m_paceTimer.isActive() || waitMs < m_paceTimer.remainingTime()))
        m_paceTimer.start(waitMs);
    if (std::none_of(due.begin(), due.end(), [](const std::optional<int> &v) { return v.has_value(); }))
        return;
    m_client->publish(boardTopic(m_address.boardId, QStringLiteral("set")), setJson(due), false);
    const int session = m_nSession;
    for (int code : CDimraProtocol::kValueCodes) {
        if (!due[code])
            continue;
        // The value the state already shows draws no echo to wait for.
        QList<int> &sent = m_unconfirmed[code];
        if (sent.size() >= kMaxUnconfirmed)
            sent.removeFirst();
        if (due[code] != m_state.values[code] || !sent.isEmpty())
            sent.append(*due[code]);
        if (session == m_nSession)
            emit frameSent(code, *due[code]);
    }
}

CRemoteBoardLink::CloseOutcome CRemoteBoardLink::close(int marginMs)
{
    if (!m_bOpen)
        return m_bLost ? DeviceLost : Drained;
    flush(true);
    const bool unsent = std::any_of(m_waiting.begin(), m_waiting.end(), [](const std::optional<int> &v) { return v.has_value(); });
    letGo();
    const bool stopped = m_client->stop(kBrokerWaitMs + marginMs);
    return unsent || !stopped ? TimedOut : Drained;
}

void CRemoteBoardLink::letGo()
{
    // Nothing of this session is taken up any more, not even while its client ends it.
    ++m_nSession;
    m_bOpen = false;
    m_bLinked = false;
    m_bConnected = false;
    m_paceTimer.stop();
    m_waiting = {};
    m_held.clear();
}

void CRemoteBoardLink::fail(const RemoteFailure &failure)
{
    if (!m_bOpen)
        return;
    letGo();
    m_bLost = true;
    m_client->stop(0);
    m_lossKind = failure.kind;
    m_strLossText = failure.text;
    emit lost(failure.text, QString());
}

QString CRemoteBoardLink::notLinkedText() const
{
    if (!m_bOpen)
        return QString();
    const QString &id = m_address.boardId;
    const QString broker = m_address.brokerText();
    if (!m_bConnected)
        return tr("The broker at %1 has not answered yet.").arg(broker);
    const QString bridge = servingBridge();
    if (bridge.isEmpty() && !m_bKnown)
        return tr("The broker at %1 knows no board %2; \"dimractl list %1\" shows the boards it knows.").arg(broker, id);
    if (bridge.isEmpty())
        return tr("No bridge serves %1 any more; start dimra-mqtt for it.").arg(id);
    if (!bridgeRuns(bridge))
        return tr("The bridge %1 that serves %2 is not running; start it again.").arg(bridge, id);
    if (m_availability != kOnline || !m_state.linked)
        return tr("The bridge %1 reports %2 offline: the board does not answer it. Check the board's power and cable "
                  "at the bridge's computer.")
            .arg(bridge, id);
    return tr("The bridge %1 did not pass on a report of %2.").arg(bridge, id);
}
