#include "mqttbridge.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSysInfo>

namespace {

// A burst of refused commands is logged by its first and counted at its end.
constexpr int kRefusalBurstMs = 10000;

CMqttClient::Settings clientSettings(const BridgeConfig &config, const QString &password, const QString &host)
{
    CMqttClient::Settings settings;
    settings.host = config.host;
    settings.port = config.port;
    settings.clientId = QStringLiteral("dimra-mqtt-%1-%2").arg(host).arg(QCoreApplication::applicationPid());
    settings.user = config.user;
    settings.password = password;
    settings.caFile = config.caFile;
    settings.willTopic = bridgeTopic(host, QStringLiteral("status"));
    settings.willPayload = "offline";
    return settings;
}

const QByteArray kOnline = "online";
const QByteArray kOffline = "offline";

} // namespace

CMqttBridge::CMqttBridge(const BridgeConfig &config, const QString &password, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_strHost(tidyHostName(QSysInfo::machineHostName()))
    , m_client(clientSettings(config, password, m_strHost))
{
    for (const BridgeBoardConfig &boardConfig : m_config.boards) {
        auto *board = new CBridgeBoard(boardConfig, this);
        m_boards.append(board);
        m_routes.insert(boardTopic(boardConfig.id, QStringLiteral("set")), {board, 0});
        for (int channel = 1; channel <= 3; ++channel)
            m_routes.insert(boardTopic(boardConfig.id, CDimraProtocol::valueKey(channel) + QStringLiteral("/set")), {board, channel});
        connect(board, &CBridgeBoard::stateChanged, this, [this, board] { publishBoard(board, false); });
        connect(board, &CBridgeBoard::logged, this,
                [this, board](const QString &line) { emit logged(QStringLiteral("%1: %2").arg(board->config().id, line)); });
    }
    m_refusalTimer.setSingleShot(true);
    m_refusalTimer.setInterval(kRefusalBurstMs);
    connect(&m_refusalTimer, &QTimer::timeout, this, &CMqttBridge::endRefusalBurst);

    connect(&m_client, &CMqttClient::connected, this, &CMqttBridge::onConnected);
    connect(&m_client, &CMqttClient::messageReceived, this, &CMqttBridge::onMessage);
    connect(&m_client, &CMqttClient::disconnected, this, [this](const QString &reason) {
        m_strLastBrokerProblem.clear();
        emit logged(tr("lost the broker at %1:%2: %3; trying again").arg(m_config.host).arg(m_config.port).arg(reason));
    });
    connect(&m_client, &CMqttClient::connectFailed, this, [this](const QString &reason) {
        if (reason == m_strLastBrokerProblem)
            return;
        m_strLastBrokerProblem = reason;
        emit logged(tr("cannot connect to the broker at %1:%2: %3; trying again")
                        .arg(m_config.host).arg(m_config.port).arg(reason));
    });
}

void CMqttBridge::start()
{
    for (CBridgeBoard *board : m_boards)
        board->start();
    m_client.start();
}

void CMqttBridge::onConnected()
{
    m_strLastBrokerProblem.clear();
    m_published.clear();
    emit logged(tr("connected to the broker at %1:%2").arg(m_config.host).arg(m_config.port));
    // Subscriptions first: the broker takes a connection's packets in order,
    // so whoever sees a board online can command it at once.
    for (auto it = m_routes.cbegin(); it != m_routes.cend(); ++it)
        m_client.subscribe(it.key());
    if (m_config.discovery)
        m_client.subscribe(m_config.discoveryPrefix + QStringLiteral("/status"));
    // The list an earlier run left comes back retained and names the boards
    // taken out since; ours, published below, replaces it.
    const QString boardsTopic = bridgeTopic(m_strHost, QStringLiteral("boards"));
    m_client.subscribe(boardsTopic);

    m_client.publish(bridgeTopic(m_strHost, QStringLiteral("status")), kOnline, true);
    QStringList ids;
    for (CBridgeBoard *board : m_boards) {
        ids.append(board->config().id);
        publishBoard(board, true);
    }
    if (m_config.discovery)
        publishDiscovery();
    m_client.publish(boardsTopic, boardListJson(ids), true);
}

void CMqttBridge::publishRetained(const QString &topic, const QByteArray &payload, bool always)
{
    if (!always && m_published.value(topic) == payload)
        return;
    if (m_client.publish(topic, payload, true))
        m_published.insert(topic, payload);
}

void CMqttBridge::publishBoard(CBridgeBoard *board, bool all)
{
    const QString &id = board->config().id;
    // Stopping, the board is no longer served: its state says so too, so
    // that the retained message left behind does not claim a link.
    BoardState state = board->state();
    state.linked = state.linked && !m_bStopping;
    const bool online = state.linked;
    publishRetained(boardTopic(id, QStringLiteral("availability")), online ? kOnline : kOffline, all);
    publishRetained(boardTopic(id, QStringLiteral("state")), stateJson(state), all);
    for (int channel = 1; channel <= 3; ++channel)
        publishRetained(boardTopic(id, CDimraProtocol::valueKey(channel)), lightStateJson(state.values[channel]), all);
}

void CMqttBridge::publishDiscovery()
{
    for (CBridgeBoard *board : m_boards) {
        const DiscoveryBoard discovery{m_config.discoveryPrefix, board->config().id, board->config().name,
                                       bridgeTopic(m_strHost, QStringLiteral("status")),
                                       QCoreApplication::applicationVersion()};
        for (const RetainedMessage &config : discoveryConfigs(discovery))
            m_client.publish(config.topic, config.payload, true);
    }
}

void CMqttBridge::removeBoards(const QStringList &ids)
{
    for (const QString &id : ids) {
        emit logged(tr("%1 is no longer configured; its retained topics and discovery configs are emptied").arg(id));
        for (const QString &leaf : {QStringLiteral("availability"), QStringLiteral("state"), QStringLiteral("ch1"),
                                    QStringLiteral("ch2"), QStringLiteral("ch3")})
            m_client.publish(boardTopic(id, leaf), QByteArray(), true);
        for (const QString &topic : discoveryTopics(m_config.discoveryPrefix, id))
            m_client.publish(topic, QByteArray(), true);
    }
}

void CMqttBridge::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    const auto route = m_routes.constFind(topic);
    if (route != m_routes.cend()) {
        onCommand(topic, *route, payload, retained);
    } else if (m_config.discovery && topic == m_config.discoveryPrefix + QStringLiteral("/status")) {
        if (payload == kOnline)
            publishDiscovery();
    } else if (topic == bridgeTopic(m_strHost, QStringLiteral("boards")) && retained) {
        // Only the list kept from before this session; our own comes back live.
        QStringList removed = parseBoardList(payload).value_or(QStringList());
        for (CBridgeBoard *board : m_boards)
            removed.removeAll(board->config().id);
        removeBoards(removed);
    }
}

void CMqttBridge::onCommand(const QString &topic, const Route &route, const QByteArray &payload, bool retained)
{
    // A kept command would be carried out again at every reconnect.
    if (retained) {
        refuse(route, topic, tr("the command was retained by the broker; commands are carried out when they are "
                                "sent, publish it without the retain flag"));
        return;
    }
    const ParsedCommand command = route.channel == 0
                                      ? parseSetPayload(payload)
                                      : parseLightCommand(payload, route.channel, route.board->lastOn(route.channel));
    if (!command.ok()) {
        refuse(route, topic, command.error);
        return;
    }
    route.board->command(command.values);
}

void CMqttBridge::refuse(const Route &route, const QString &topic, const QString &reason)
{
    const QString line = tr("%1: %2; nothing was sent").arg(topic, reason);
    m_client.publish(boardTopic(route.board->config().id, QStringLiteral("error")), line.toUtf8(), false);
    logRefusal(line);
}

void CMqttBridge::logRefusal(const QString &line)
{
    if (m_refusalTimer.isActive()) {
        ++m_nRefusedInBurst;
        return;
    }
    emit logged(line);
    m_nRefusedInBurst = 0;
    m_refusalTimer.start();
}

void CMqttBridge::endRefusalBurst()
{
    if (m_nRefusedInBurst == 0)
        return;
    emit logged(QCoreApplication::translate("dimra-mqtt", "%n more command(s) refused in the last %1 s", nullptr,
                                            m_nRefusedInBurst)
                    .arg(kRefusalBurstMs / 1000));
    m_nRefusedInBurst = 0;
    m_refusalTimer.start(); // the burst may go on
}

bool CMqttBridge::shutdown(int msecs)
{
    const QDeadlineTimer deadline(msecs);
    // The values of the frames still going out are published as they go,
    // the boards staying offline.
    m_bStopping = true;
    for (CBridgeBoard *board : m_boards)
        publishBoard(board, false);
    m_client.publish(bridgeTopic(m_strHost, QStringLiteral("status")), kOffline, true);
    bool complete = true;
    for (CBridgeBoard *board : m_boards)
        complete = board->close(int(qMax<qint64>(deadline.remainingTime(), 0))) && complete;
    m_refusalTimer.stop();
    complete = m_client.stop(int(qMax<qint64>(deadline.remainingTime(), 100))) && complete;
    return complete;
}
