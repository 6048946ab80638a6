#include "mqttbridge.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRandomGenerator>

#include <algorithm>

namespace {

// A burst of refused commands is logged by its first and counted at its end.
constexpr int kRefusalBurstMs = 10000;
// How long the broker may take to send back what it keeps, and a bridge
// that is asked whether it runs to answer, or that holds a port this one
// claims to publish its list.
constexpr int kCheckMs = 5000;
constexpr int kAnswerMs = 2000;

const QByteArray kOnline = "online";
const QByteArray kOffline = "offline";

const QString kEveryStatus = QStringLiteral("dimra/bridge/+/status");
const QString kEveryList = QStringLiteral("dimra/bridge/+/boards");

CMqttClient::Settings clientSettings(const BridgeConfig &config, const QString &password, const QString &bridgeId)
{
    CMqttClient::Settings settings;
    settings.host = config.host;
    settings.port = config.port;
    settings.clientId = QStringLiteral("dimra-mqtt-%1-%2").arg(bridgeId).arg(QCoreApplication::applicationPid());
    settings.user = config.user;
    settings.password = password;
    settings.caFile = config.caFile;
    settings.willTopic = bridgeTopic(bridgeId, QStringLiteral("status"));
    settings.willPayload = kOffline;
    return settings;
}

} // namespace

CMqttBridge::CMqttBridge(const BridgeConfig &config, const QString &password, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_strBridgeId(bridgeIdOf(config))
    , m_token(QByteArray::number(QRandomGenerator::global()->generate64(), 16))
    , m_client(clientSettings(config, password, m_strBridgeId))
    , m_presets(config.presetsFile)
{
    connect(&m_presets, &CBridgePresets::logged, this, &CMqttBridge::logged);
    connect(&m_presets, &CBridgePresets::namesChanged, this, &CMqttBridge::onPresetsChanged);
    for (const BridgeBoardConfig &boardConfig : m_config.boards) {
        auto *board = new CBridgeBoard(boardConfig, this);
        m_boards.append(board);
        connect(board, &CBridgeBoard::logged, this,
                [this, board](const QString &line) { emit logged(QStringLiteral("%1: %2").arg(board->config().id, line)); });
    }
    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Contending) {
            settleHeld(true);
            return;
        }
        if (m_phase == Phase::Checking)
            emit logged(tr("the broker did not send back what it keeps within %1 s; going on without knowing which "
                           "boards other bridges serve").arg(kCheckMs / 1000));
        decide(); // a bridge that did not answer in time runs no more
    });
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

QString CMqttBridge::ownTopic(const char *leaf) const
{
    return bridgeTopic(m_strBridgeId, QLatin1String(leaf));
}

void CMqttBridge::start()
{
    m_presets.start();
    // The ports wait for the check: a board another bridge serves is not touched.
    m_client.start();
}

void CMqttBridge::onConnected()
{
    m_strLastBrokerProblem.clear();
    m_published.clear();
    emit logged(tr("connected to the broker at %1:%2").arg(m_config.host).arg(m_config.port));
    if (m_phase == Phase::Serving)
        serve();
    else if (m_phase != Phase::Contending) // its ports are claimed; its timer ends the wait
        beginCheck();
}

void CMqttBridge::beginCheck()
{
    m_phase = Phase::Checking;
    m_statuses.clear();
    m_lists.clear();
    m_bOwnListRefused = false;
    m_memory.clear();
    m_running.clear();
    // At QoS 0 what the broker keeps comes in order, and before the marker
    // published after the subscriptions: once it is back, all of it is here.
    m_client.subscribe(kEveryStatus, 0);
    m_client.subscribe(kEveryList, 0);
    for (CBridgeBoard *board : m_boards)
        if (board->config().restore)
            m_client.subscribe(boardTopic(board->config().id, QStringLiteral("state")), 0);
    m_client.subscribe(ownTopic("sync"), 0);
    m_client.publish(ownTopic("sync"), m_token, false);
    m_checkTimer.start(kCheckMs);
}

void CMqttBridge::onCheckMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    if (const QString bridge = bridgeOfTopic(topic, "status"); !bridge.isEmpty()) {
        m_statuses.insert(bridge, payload);
        // An answer is the bridge's status published anew, not the one kept.
        if (m_phase == Phase::Asking && !retained && payload == kOnline && m_asked.contains(bridge)) {
            m_answered.insert(bridge);
            if (m_answered.size() == m_asked.size())
                decide();
        }
    } else if (const QString lister = bridgeOfTopic(topic, "boards"); !lister.isEmpty()) {
        const std::optional<QStringList> ids = parseBoardList(payload);
        if (ids)
            m_lists.insert(lister, *ids);
        else
            m_lists.remove(lister);
        if (lister == m_strBridgeId)
            m_bOwnListRefused = !ids && !payload.isEmpty();
        else if (ids && !retained) // published while this bridge looks: its bridge runs
            m_running.insert(lister);
        if (m_phase == Phase::Contending)
            settleHeld(false);
    } else if (topic == ownTopic("sync") && payload == m_token && m_phase == Phase::Checking) {
        askOwners();
    } else if (retained && topic.endsWith(QLatin1String("/state"))) {
        m_memory.insert(topic.section(QLatin1Char('/'), 1, 1), payload);
    }
}

void CMqttBridge::askOwners()
{
    // Whoever says it is online and lists one of these boards, and whoever
    // says it is online under this bridge's own id, is asked whether it runs:
    // a bridge whose host lost its power is online until its broker notices.
    m_asked.clear();
    m_answered.clear();
    if (m_statuses.value(m_strBridgeId) == kOnline)
        m_asked.insert(m_strBridgeId);
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it) {
        if (it.key() == m_strBridgeId || m_statuses.value(it.key()) != kOnline)
            continue;
        for (CBridgeBoard *board : m_boards)
            if (it.value().contains(board->config().id))
                m_asked.insert(it.key());
    }
    if (m_asked.isEmpty()) {
        decide();
        return;
    }
    m_phase = Phase::Asking;
    for (const QString &bridge : std::as_const(m_asked))
        m_client.publish(bridgeTopic(bridge, QStringLiteral("ping")), m_strBridgeId.toUtf8(), false);
    m_checkTimer.start(kAnswerMs);
}

void CMqttBridge::endCheck()
{
    m_checkTimer.stop();
    m_client.unsubscribe(kEveryStatus);
    m_client.unsubscribe(kEveryList);
    m_client.unsubscribe(ownTopic("sync"));
    for (CBridgeBoard *board : m_boards)
        if (board->config().restore)
            m_client.unsubscribe(boardTopic(board->config().id, QStringLiteral("state")));
}

QString CMqttBridge::ownerOf(const QString &id) const
{
    for (const QSet<QString> &running : {m_answered, m_running})
        for (const QString &bridge : running)
            if (m_lists.value(bridge).contains(id))
                return bridge;
    return QString();
}

void CMqttBridge::decide()
{
    if (m_phase != Phase::Checking && m_phase != Phase::Asking)
        return;
    if (m_answered.contains(m_strBridgeId)) {
        endCheck();
        m_phase = Phase::Waiting;
        emit logged(tr("another dimra-mqtt runs as the bridge %1 and answers; give this one an id of its own with "
                       "--bridge-id or bridge_id=").arg(m_strBridgeId));
        emit identityTaken();
        return;
    }
    for (CBridgeBoard *board : std::as_const(m_boards)) {
        if (const QString owner = ownerOf(board->config().id); !owner.isEmpty())
            leave(board, owner);
        else if (board->claim())
            take(board);
        else
            m_held.append(board);
    }
    if (m_held.isEmpty()) {
        beginServing();
        return;
    }
    // Another program holds a port. A bridge that started with this one and
    // got there first publishes its list at once; until it comes, or the
    // time is up and the port is merely in use, nothing is said of the board.
    m_phase = Phase::Contending;
    m_checkTimer.start(kAnswerMs);
}

void CMqttBridge::settleHeld(bool timeUp)
{
    for (auto it = m_held.begin(); it != m_held.end();) {
        CBridgeBoard *board = *it;
        if (const QString owner = ownerOf(board->config().id); !owner.isEmpty()) {
            leave(board, owner);
        } else if (timeUp) {
            take(board);
            board->start(); // and tries again while it is in use
        } else {
            ++it;
            continue;
        }
        it = m_held.erase(it);
    }
    if (m_held.isEmpty())
        beginServing();
}

void CMqttBridge::leave(CBridgeBoard *board, const QString &owner)
{
    emit logged(tr("%1 is served by the bridge %2, which runs; this bridge leaves it alone")
                    .arg(board->config().id, owner));
}

void CMqttBridge::beginServing()
{
    endCheck();
    QStringList served;
    for (CBridgeBoard *board : std::as_const(m_served))
        served.append(board->config().id);
    if (served.isEmpty())
        emit logged(tr("no board left to serve"));

    // What an earlier run of this bridge served and no bridge serves now.
    QSet<QString> listedElsewhere;
    for (auto it = m_lists.cbegin(); it != m_lists.cend(); ++it) {
        if (it.key() == m_strBridgeId)
            continue;
        for (const QString &id : it.value())
            listedElsewhere.insert(id);
    }
    if (m_bOwnListRefused)
        emit logged(tr("the boards list kept for the bridge %1 is none a bridge writes (more than %2 boards, or no "
                       "list); nothing it names is emptied").arg(m_strBridgeId).arg(kMaxBoards));
    QStringList removed;
    for (const QString &id : m_lists.value(m_strBridgeId))
        if (!served.contains(id) && !listedElsewhere.contains(id))
            removed.append(id);

    m_phase = Phase::Serving;
    serve();
    removeBoards(removed);
}

void CMqttBridge::take(CBridgeBoard *board)
{
    const QString &id = board->config().id;
    m_served.append(board);
    m_routes.insert(boardTopic(id, QStringLiteral("set")), {board, 0});
    m_routes.insert(boardTopic(id, QStringLiteral("get")), {board, Route::kGet});
    for (int channel = 1; channel <= 3; ++channel)
        m_routes.insert(boardTopic(id, CDimraProtocol::ValueKey(channel) + QStringLiteral("/set")), {board, channel});
    if (board->config().restore)
        board->remember(parseStateValues(m_memory.value(id)));
    connect(board, &CBridgeBoard::stateChanged, this, [this, board] { publishBoard(board); });
    connect(board, &CBridgeBoard::presetChanged, this, [this, board] { publishPreset(board); });
    connect(board, &CBridgeBoard::reportIn, this, [this, board] {
        m_published.remove(boardTopic(board->config().id, QStringLiteral("state"))); // published again, changed or not
        publishBoard(board);
    });
    connect(board, &CBridgeBoard::opened, this, [this, board] {
        publishBoard(board);
        publishPreset(board);
        if (m_config.discovery)
            publishDiscovery(board);
    });
}

void CMqttBridge::serve()
{
    // Subscriptions first: the broker takes a connection's packets in order,
    // so whoever sees a board online can command it at once.
    for (auto it = m_routes.cbegin(); it != m_routes.cend(); ++it)
        m_client.subscribe(it.key());
    if (m_config.discovery)
        m_client.subscribe(m_config.discoveryPrefix + QStringLiteral("/status"));
    m_client.subscribe(ownTopic("ping"), 0);
    m_client.subscribe(ownTopic("status"), 0);

    m_client.publish(ownTopic("status"), kOnline, true);
    QStringList ids;
    for (CBridgeBoard *board : std::as_const(m_served)) {
        ids.append(board->config().id);
        publishBoard(board);
        publishPreset(board);
        if (m_config.discovery)
            publishDiscovery(board);
    }
    m_client.publish(ownTopic("boards"), boardListJson(ids), true);
}

void CMqttBridge::publishRetained(const QString &topic, const QByteArray &payload)
{
    if (m_published.value(topic) == payload)
        return;
    if (m_client.publish(topic, payload, true))
        m_published.insert(topic, payload);
}

void CMqttBridge::publishBoard(CBridgeBoard *board)
{
    if (m_phase != Phase::Serving)
        return;
    const QString &id = board->config().id;
    // Stopping, the board is no longer served: its state says so too, so
    // that the retained message left behind does not claim a link.
    BoardState state = board->state();
    state.linked = state.linked && !m_bStopping;
    publishRetained(boardTopic(id, QStringLiteral("availability")), state.linked ? kOnline : kOffline);
    // A port that never opened has nothing to say about the board.
    if (!board->hasOpened())
        return;
    publishRetained(boardTopic(id, QStringLiteral("state")), stateJson(state));
    for (int channel = 1; channel <= 3; ++channel)
        publishRetained(boardTopic(id, CDimraProtocol::ValueKey(channel)), lightStateJson(state.values[channel]));
}

void CMqttBridge::publishPreset(CBridgeBoard *board)
{
    if (m_phase != Phase::Serving || !board->hasOpened())
        return;
    const QString topic = boardTopic(board->config().id, QStringLiteral("preset"));
    if (!m_presets.isConfigured()) {
        // Emptied once a session, for a run before this one that read presets.
        if (!m_published.contains(topic) && m_client.publish(topic, QByteArray(), true))
            m_published.insert(topic, QByteArray());
        return;
    }
    // A preset that has left the file is none that can be chosen.
    const QString preset = m_presets.names().contains(board->preset()) ? board->preset() : QString();
    publishRetained(topic, presetStateJson(preset));
}

void CMqttBridge::onPresetsChanged()
{
    for (CBridgeBoard *board : std::as_const(m_served)) {
        publishPreset(board);
        if (m_config.discovery)
            publishDiscovery(board);
    }
}

void CMqttBridge::publishDiscovery(CBridgeBoard *board)
{
    if (m_phase != Phase::Serving || !board->hasOpened())
        return;
    const DiscoveryBoard discovery{m_config.discoveryPrefix,
                                   board->config().id,
                                   board->config().name,
                                   ownTopic("status"),
                                   QCoreApplication::applicationVersion(),
                                   QStringLiteral(DIMRA_HOMEPAGE),
                                   m_presets.isConfigured() ? std::optional(m_presets.names()) : std::nullopt};
    // A config the board does not have (the select, without presets) is
    // emptied, for a run before this one that published it.
    const QList<RetainedMessage> configs = discoveryConfigs(discovery);
    for (const QString &topic : discoveryTopics(m_config.discoveryPrefix, board->config().id)) {
        const auto config = std::find_if(configs.begin(), configs.end(),
                                         [&topic](const RetainedMessage &c) { return c.topic == topic; });
        m_client.publish(topic, config == configs.end() ? QByteArray() : config->payload, true);
    }
}

void CMqttBridge::removeBoards(const QStringList &ids)
{
    for (const QString &id : ids) {
        emit logged(tr("%1 is no longer configured; its retained topics and discovery configs are emptied").arg(id));
        for (const QString &leaf : {QStringLiteral("availability"), QStringLiteral("state"), QStringLiteral("ch1"),
                                    QStringLiteral("ch2"), QStringLiteral("ch3"), QStringLiteral("preset")})
            m_client.publish(boardTopic(id, leaf), QByteArray(), true);
        for (const QString &topic : discoveryTopics(m_config.discoveryPrefix, id))
            m_client.publish(topic, QByteArray(), true);
    }
}

void CMqttBridge::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    if (m_phase == Phase::Checking || m_phase == Phase::Asking || m_phase == Phase::Contending) {
        onCheckMessage(topic, payload, retained);
        return;
    }
    if (m_phase != Phase::Serving)
        return;
    const auto route = m_routes.constFind(topic);
    if (route != m_routes.cend()) {
        onCommand(topic, *route, payload, retained);
    } else if (m_config.discovery && topic == m_config.discoveryPrefix + QStringLiteral("/status")) {
        if (payload == kOnline)
            for (CBridgeBoard *board : std::as_const(m_served))
                publishDiscovery(board);
    } else if (topic == ownTopic("ping")) {
        // Another bridge asks whether this one runs: the status, anew.
        m_client.publish(ownTopic("status"), kOnline, true);
    } else if (topic == ownTopic("status") && !retained && payload == kOffline && !m_bStopping) {
        // The will of a session of this id that its broker took long to
        // notice gone: this bridge runs.
        m_client.publish(ownTopic("status"), kOnline, true);
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
    if (route.channel == Route::kGet) {
        if (!payload.isEmpty())
            refuse(route, topic, tr("a request to report is an empty message"));
        else
            route.board->requestReport();
        return;
    }
    const ParsedCommand command = route.channel == 0
                                      ? parseSetPayload(payload)
                                      : parseLightCommand(payload, route.channel, route.board->lastOn(route.channel));
    if (!command.ok()) {
        refuse(route, topic, command.error);
        return;
    }
    if (command.preset.isEmpty()) {
        route.board->command(command.values, command.transitionMs);
        return;
    }
    // The preset as the file holds it now, whatever the watch has seen.
    m_presets.reload();
    if (const Preset *preset = m_presets.find(command.preset))
        route.board->applyPreset(*preset, command.transitionMs);
    else
        refuse(route, topic, m_presets.noSuchPresetText(command.preset));
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
    // the boards staying offline. A bridge that never served (stopped
    // during its check, or another runs under its id) has nothing to say.
    m_bStopping = true;
    m_checkTimer.stop();
    if (m_phase == Phase::Serving) {
        for (CBridgeBoard *board : std::as_const(m_served))
            publishBoard(board);
        m_client.publish(ownTopic("status"), kOffline, true);
    }
    bool complete = true;
    for (CBridgeBoard *board : std::as_const(m_served))
        complete = board->close(int(qMax<qint64>(deadline.remainingTime(), 0))) && complete;
    m_refusalTimer.stop();
    complete = m_client.stop(int(qMax<qint64>(deadline.remainingTime(), 100))) && complete;
    return complete;
}
