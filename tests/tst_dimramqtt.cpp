#include "boardlink.h"
#include "boardmodel.h"
#include "boardserver.h"
#include "bridgeoptions.h"
#include "bridgemessages.h"
#include "devicetree.h"
#include "dimradlg.h"
#include "envoverride.h"
#include "eventidle.h"
#include "linkindicator.h"
#include "messagerecorder.h"
#include "mosquittobroker.h"
#include "mqttrecorder.h"
#include "presetfile.h"
#include "ptypair.h"
#include "remoteboardlink.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHelpEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <signal.h>

// dimra-mqtt end to end: the program against a real broker and virtual
// boards on pseudo-terminals, seen through the broker and at the boards'
// lines. One sequence a behaviour; what a payload means is tst_bridgemessages'.
class tst_DimraMqtt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandsReachTheWireOrNothingDoes();
    void everythingIsPublishedAgainWhenAskedAndAfterABrokerRestart();
    void anUnpluggedBoardGoesOfflineAndComesBackWithItsState();
    void sigtermDrainsTheLinesAndTheNextRunForgetsABoardTakenOut();
    void twoBridgesOnOneHostLeaveEachOtherAlone();
    void ofTwoBridgesStartedTogetherOneServesTheBoard();
    void aTransitionFadesAtTheLinesPaceAndEndsOnItsTarget();
    void aPresetSetsTheBoardAsASetOfItsValuesWould();
    void whatIsNotKnownIsNotPublished();
    void anUntrustedBrokerCertificateIsNamed();
    void dimractlReachesABoardThroughItsBridge();
    void theWindowFollowsABoardBehindItsBridge();
    void whyABoardBehindABridgeDoesNotAnswerIsSaid_data();
    void whyABoardBehindABridgeDoesNotAnswerIsSaid();
    void dimractlLogsInAsTheAddressSays_data();
    void dimractlLogsInAsTheAddressSays();
    void whatCannotStartEndsWithItsExitStatus_data();
    void whatCannotStartEndsWithItsExitStatus();

private:
    // A virtual board in this process, reached through a link at a fixed
    // path, as /dev/serial/by-id names an adapter.
    struct Board
    {
        std::unique_ptr<CBoardModel> model;
        std::unique_ptr<CBoardServer> server;
        QStringList frames; // "ch1 40", "frequency 2000", as they arrived
    };
    Board *addBoard(const QString &id, CBoardModel::Mode mode = CBoardModel::Report, bool paced = false);
    bool startBridge(const QStringList &ids, bool restore = false);
    // The broker again, with a TLS listener too that shows broker.pem, made
    // in m_dir with other.pem, a certificate that does not trust it.
    bool startTlsBroker();
    // What came since the recorder was cleared, once the broker has passed on
    // everything that reached it before this call.
    bool everythingArrived();
    QStringList brokerArguments() const { return {QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(m_broker->port())}; }

    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttRecorder> m_mqtt;
    std::unique_ptr<QTemporaryDir> m_dir;
    // The bridges' lock files, in m_dir: a bridge killed outright (a crash,
    // as the tests play one) leaves its lock there, not in the system's folder.
    std::optional<EnvOverride> m_locks;
    std::map<QString, Board> m_boards;
    QProcess m_bridge;
    QString m_log;
};

namespace {

const QStringList kEverything{QStringLiteral("dimra/#"), QStringLiteral("homeassistant/#")};

QString topic(const char *leaf, const char *id = "bench")
{
    return boardTopic(QLatin1String(id), QLatin1String(leaf));
}

// The status topic of the bridge that runs with these arguments.
QString bridgeStatus(const QStringList &arguments)
{
    return bridgeTopic(bridgeIdOf(ParseBridgeArguments(QStringList{QStringLiteral("dimra-mqtt")} + arguments).options),
                       QStringLiteral("status"));
}

std::function<bool(const QByteArray &)> containing(const QByteArray &part)
{
    return [part](const QByteArray &payload) { return payload.contains(part); };
}

} // namespace

void tst_DimraMqtt::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_locks.emplace("DIMRA_LOCK_DIR", QFile::encodeName(m_dir->path()));
    m_broker = std::make_unique<MosquittoBroker>();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->error()));
    m_mqtt = std::make_unique<MqttRecorder>(m_broker->port(), kEverything);
    QVERIFY(m_mqtt->waitConnected());
    m_log.clear();
    m_bridge.setProcessChannelMode(QProcess::MergedChannels);
    connect(&m_bridge, &QProcess::readyRead, this, [this] { m_log += QString::fromLocal8Bit(m_bridge.readAll()); });
}

void tst_DimraMqtt::cleanup()
{
    if (m_bridge.state() != QProcess::NotRunning) {
        m_bridge.kill();
        m_bridge.waitForFinished(5000);
    }
    if (m_bridge.isOpen()) // a test of dimractl alone starts none
        m_log += QString::fromLocal8Bit(m_bridge.readAll());
    if (QTest::currentTestFailed())
        qWarning("dimra-mqtt said:\n%s", qPrintable(m_log));
    m_boards.clear();
    m_mqtt.reset();
    m_broker.reset();
    m_locks.reset();
}

tst_DimraMqtt::Board *tst_DimraMqtt::addBoard(const QString &id, CBoardModel::Mode mode, bool paced)
{
    Board &board = m_boards[id];
    board.model = std::make_unique<CBoardModel>(mode);
    board.server = std::make_unique<CBoardServer>(board.model.get());
    board.server->setPaced(paced);
    QString error;
    if (!board.server->openPty(&error) || !board.server->linkTo(QFile::encodeName(m_dir->filePath(id)), &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    connect(board.server.get(), &CBoardServer::framesReceived, board.server.get(),
            [&board](const QList<CFrameReader::Frame> &frames) {
                for (const CFrameReader::Frame &frame : frames)
                    if (frame.verdict == CFrameReader::Good && frame.code > 0)
                        board.frames << QStringLiteral("%1 %2").arg(CDimraProtocol::ValueKey(frame.code)).arg(
                            CBoardModel::decodeValue(frame.code, frame.data));
            });
    return &board;
}

bool tst_DimraMqtt::startTlsBroker()
{
    auto makeCertificate = [this](const QString &name) {
        return QProcess::execute(QStringLiteral("openssl"),
                                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                                  QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                                  QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                                  QStringLiteral("-keyout"), m_dir->filePath(name + QStringLiteral(".key")),
                                  QStringLiteral("-out"), m_dir->filePath(name + QStringLiteral(".pem"))}) == 0;
    };
    if (!makeCertificate(QStringLiteral("broker")) || !makeCertificate(QStringLiteral("other")))
        return false;
    m_broker->kill();
    m_broker->setTls(m_dir->filePath(QStringLiteral("broker.pem")), m_dir->filePath(QStringLiteral("broker.key")));
    return m_broker->start();
}

bool tst_DimraMqtt::startBridge(const QStringList &ids, bool restore)
{
    QString config = QStringLiteral("[broker]\nhost=127.0.0.1\nport=%1\n").arg(m_broker->port());
    for (const QString &id : ids)
        config += QStringLiteral("[board.%1]\nport=%2\nrestore=%3\n").arg(id, m_dir->filePath(id), restore ? "true" : "false");
    QFile file(m_dir->filePath(QStringLiteral("mqtt.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return false;
    file.close();
    m_bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM), {QStringLiteral("-c"), file.fileName()});
    return m_bridge.waitForStarted(5000);
}

void tst_DimraMqtt::commandsReachTheWireOrNothingDoes()
{
    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    board->model->state() = {2500, {60, 20, 30}};
    // A retained command is already there when the bridge subscribes.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch1":40})", true));
    QVERIFY(startBridge({QStringLiteral("bench")}));
    const QByteArray state = R"({"linked":true,"frequency":2500,"ch1":60,"ch2":20,"ch3":30})";
    QVERIFY(m_mqtt->waitFor(topic("state"), state));
    QVERIFY(m_mqtt->waitFor(topic("error"), containing("retained")));

    // The board's report is retained: whoever subscribes later is told at once, by the broker.
    MqttRecorder late(m_broker->port(), kEverything);
    QVERIFY(late.waitConnected());
    QVERIFY(late.waitFor(topic("ch2"), R"({"state":"ON","brightness":20})"));
    QVERIFY(late.waitFor(topic("availability"), "online"));
    QVERIFY(late.waitFor(topic("state"), state));
    for (const MqttRecorder::Message &message : late.messages())
        QVERIFY2(message.retained, qPrintable(message.topic));

    // A light turned on goes back to the duty the board reported.
    QVERIFY(m_mqtt->publish(topic("ch1/set"), R"({"state":"ON"})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, QStringList{QStringLiteral("ch1 60")}, 5000);
    // One value out of range refuses the whole command. Commands are taken
    // in order: once the next one is on the line, the refused one has had
    // every chance to send something.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"frequency":2000,"ch1":101})"));
    QVERIFY(m_mqtt->waitFor(topic("error"), containing("ch1")));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch3":100,"ch1":40,"frequency":2000,"ch2":0})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, (QStringList{"ch1 60", "frequency 2000", "ch1 40", "ch2 0", "ch3 100"}), 5000);
    QVERIFY2(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":2000,"ch1":40,"ch2":0,"ch3":100})"),
             m_mqtt->last(topic("state")).constData());

    // A command that comes while the board reports as asked waits for the
    // report and goes out after it; the state shows both.
    board->model->state().duty[1] = 70;
    QVERIFY(m_mqtt->publish(topic("get"), QByteArray()) && m_mqtt->publish(topic("set"), R"({"ch3":9})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames.constLast(), QStringLiteral("ch3 9"), 5000);
    QVERIFY2(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":2000,"ch1":40,"ch2":70,"ch3":9})"),
             m_mqtt->last(topic("state")).constData());
    // A get asked while one is reported is reported in turn: the state twice, unchanged.
    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(topic("get"), QByteArray()) && m_mqtt->publish(topic("get"), QByteArray()));
    const auto states = [this] {
        return std::count_if(m_mqtt->messages().begin(), m_mqtt->messages().end(),
                             [](const MqttRecorder::Message &m) { return m.topic == topic("state"); });
    };
    QVERIFY(QTest::qWaitFor([&] { return states() == 2; }, 5000));
    // A get is an empty message.
    QVERIFY(m_mqtt->publish(topic("get"), "now") && m_mqtt->waitFor(topic("error"), containing("empty message")));
}

void tst_DimraMqtt::everythingIsPublishedAgainWhenAskedAndAfterABrokerRestart()
{
    Board *board = addBoard(QStringLiteral("bench"));
    Board *quiet = addBoard(QStringLiteral("quiet"), CBoardModel::Quiet);
    QVERIFY(board && quiet);
    const QString light = QStringLiteral("homeassistant/light/dimra_bench/ch2/config");
    QVERIFY(startBridge({QStringLiteral("bench"), QStringLiteral("quiet")}));
    QVERIFY(m_mqtt->waitFor(light));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/number/dimra_bench/frequency/config")));
    const QJsonObject config = QJsonDocument::fromJson(m_mqtt->last(light)).object();
    QCOMPARE(config.value(QLatin1String("command_topic")).toString(), QStringLiteral("dimra/bench/ch2/set"));

    // A board that never answers stays offline, the log says why, and a
    // command waits for it instead of going to a board that is not linked.
    QVERIFY(m_mqtt->waitFor(topic("availability", "quiet"), "offline"));
    QVERIFY(QTest::qWaitFor([this] { return m_log.contains(QLatin1String("does not answer")); }, 8000));
    QVERIFY(m_mqtt->publish(topic("set", "quiet"), R"({"ch1":50})"));

    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(QStringLiteral("homeassistant/status"), "online"));
    QVERIFY(m_mqtt->waitFor(light));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/light/dimra_quiet/ch1/config")));

    // Nothing is kept across a broker restart: what comes is published anew.
    m_broker->kill();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->error()));
    QVERIFY(QTest::qWaitFor([this] { return m_log.contains(QLatin1String("lost the broker")); }));
    m_mqtt = std::make_unique<MqttRecorder>(m_broker->port(), kEverything);
    QVERIFY(m_mqtt->waitConnected());
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online", 10000));
    QVERIFY(m_mqtt->waitFor(topic("state")));
    QVERIFY(m_mqtt->waitFor(topic("ch3")));
    QVERIFY(m_mqtt->waitFor(light));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(m_bridge.arguments()), "online"));
    // And the subscriptions are back.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch1":33})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, QStringList{QStringLiteral("ch1 33")}, 5000);
    QVERIFY(quiet->frames.isEmpty());
    QCOMPARE(m_mqtt->last(topic("availability", "quiet")), QByteArray("offline"));

    // A bridge that dies leaves its will.
    m_bridge.kill();
    QVERIFY(m_mqtt->waitFor(bridgeStatus(m_bridge.arguments()), "offline"));
}

void tst_DimraMqtt::anUnpluggedBoardGoesOfflineAndComesBackWithItsState()
{
    // The board program itself, so that unplugging is its process ending.
    const QString link = m_dir->filePath(QStringLiteral("bench"));
    QProcess board;
    auto plugIn = [&] {
        board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), {QStringLiteral("--link"), link});
        return board.waitForStarted(5000) && QTest::qWaitFor([&] { return QFileInfo(link).isSymLink(); });
    };
    QVERIFY(plugIn());
    QVERIFY(startBridge({QStringLiteral("bench")}, true));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch2":40,"frequency":3000})"));
    const QByteArray commanded = R"({"linked":true,"frequency":3000,"ch1":0,"ch2":40,"ch3":0})";
    QVERIFY(m_mqtt->waitFor(topic("state"), commanded));

    // A board that stops answering: asked to report, it is offline once its
    // time is up, and online again when it answers, with what was commanded meanwhile.
    QVERIFY(::kill(pid_t(board.processId()), SIGSTOP) == 0);
    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(topic("get"), QByteArray()) && m_mqtt->waitFor(topic("availability"), "offline", 10000));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch3":9})"));
    QVERIFY(::kill(pid_t(board.processId()), SIGCONT) == 0);
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online", 10000));
    QVERIFY2(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":3000,"ch1":0,"ch2":40,"ch3":9})"),
             m_mqtt->last(topic("state")).constData());
    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch3":0})") && m_mqtt->waitFor(topic("state"), commanded));

    board.terminate();
    QVERIFY(board.waitForFinished(5000));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "offline"));
    QVERIFY(m_mqtt->waitFor(topic("state"), [](const QByteArray &p) { return p.startsWith(R"({"linked":false)"); }));

    // A fresh board holds 1000 Hz and 0 %; with restore the bridge sends the
    // commanded values again once it has reported. The state the link brings
    // back still shows the old values for a moment: a command sent once the
    // board is ready shows what the board really holds.
    m_mqtt->clear();
    QVERIFY(plugIn());
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online", 10000));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch1":5})"));
    const QByteArray restored = R"({"linked":true,"frequency":3000,"ch1":5,"ch2":40,"ch3":0})";
    QVERIFY2(m_mqtt->waitFor(topic("state"), restored), m_mqtt->last(topic("state")).constData());

    // A power cut: the bridge and the board go together. The board comes
    // back fresh; the bridge remembers from the broker what it held.
    m_bridge.kill();
    QVERIFY(m_bridge.waitForFinished(5000));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(m_bridge.arguments()), "offline"));
    board.terminate();
    QVERIFY(board.waitForFinished(5000));
    m_mqtt->clear();
    QVERIFY(plugIn());
    QVERIFY(startBridge({QStringLiteral("bench")}, true));
    QVERIFY2(m_mqtt->waitFor(topic("state"), restored, 10000), m_mqtt->last(topic("state")).constData());
    board.terminate();
    board.waitForFinished(5000);
}

void tst_DimraMqtt::sigtermDrainsTheLinesAndTheNextRunForgetsABoardTakenOut()
{
    Board *board = addBoard(QStringLiteral("bench"), CBoardModel::Report, true);
    QVERIFY(board && addBoard(QStringLiteral("right")));
    const QString rightLight = QStringLiteral("homeassistant/light/dimra_right/ch1/config");
    QVERIFY(startBridge({QStringLiteral("bench"), QStringLiteral("right")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    QVERIFY(m_mqtt->waitFor(rightLight));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(m_bridge.arguments()), "online"));

    // Four frames take about 40 ms at 9600 baud: three still wait when the
    // first has arrived and the signal comes.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"frequency":5000,"ch1":11,"ch2":22,"ch3":33})"));
    QVERIFY(QTest::qWaitFor([board] { return !board->frames.isEmpty(); }));
    m_bridge.terminate();
    QVERIFY(m_bridge.waitForFinished(10000));
    QCOMPARE(m_bridge.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_bridge.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, (QStringList{"frequency 5000", "ch1 11", "ch2 22", "ch3 33"}), 5000);
    QVERIFY(m_mqtt->waitFor(topic("availability"), "offline"));
    QVERIFY(m_mqtt->waitFor(topic("state"), R"({"linked":false,"frequency":5000,"ch1":11,"ch2":22,"ch3":33})"));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(m_bridge.arguments()), "offline"));

    // The next run serves only the bench board: the right one's topics are emptied.
    m_mqtt->clear();
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(rightLight, QByteArray()));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/number/dimra_right/frequency/config"), QByteArray()));
    QVERIFY(m_mqtt->waitFor(topic("state", "right"), QByteArray()));
    QVERIFY(m_mqtt->waitFor(topic("preset", "right"), QByteArray()));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/select/dimra_right/preset/config"), QByteArray()));
    QVERIFY(!m_mqtt->last(QStringLiteral("homeassistant/light/dimra_bench/ch1/config")).isEmpty());
}

bool tst_DimraMqtt::everythingArrived()
{
    // The broker passes messages on in the order they reached it.
    const QString marker = QStringLiteral("dimra/bridge/test/marker");
    return m_mqtt->publish(marker, "1") && m_mqtt->waitFor(marker);
}

void tst_DimraMqtt::twoBridgesOnOneHostLeaveEachOtherAlone()
{
    Board *bench = addBoard(QStringLiteral("bench"));
    QVERIFY(bench && addBoard(QStringLiteral("right")));
    QVERIFY(startBridge({QStringLiteral("bench")})); // as the service would
    const QString service = bridgeStatus(m_bridge.arguments());
    QVERIFY(m_mqtt->waitFor(topic("state"), [](const QByteArray &p) { return p.startsWith(R"({"linked":true)"); }));
    QVERIFY(m_mqtt->waitFor(service, "online"));
    m_mqtt->clear();

    // A second bridge, for the other board, comes and goes.
    QProcess second;
    const QStringList secondArguments = QStringList{QStringLiteral("-p"), m_dir->filePath(QStringLiteral("right"))} + brokerArguments();
    second.start(QStringLiteral(DIMRA_MQTT_PROGRAM), secondArguments);
    QVERIFY(bridgeStatus(secondArguments) != service);
    QVERIFY(m_mqtt->waitFor(topic("availability", "right"), "online"));
    second.terminate();
    QVERIFY(second.waitForFinished(10000));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(secondArguments), "offline"));

    // A brief trial run for the service's board leaves it to the service.
    QProcess trial;
    trial.setProcessChannelMode(QProcess::MergedChannels);
    trial.start(QStringLiteral(DIMRA_MQTT_PROGRAM), QStringList{QStringLiteral("-p"), m_dir->filePath(QStringLiteral("bench")),
                                                                QStringLiteral("--id"), QStringLiteral("bench")} + brokerArguments());
    QString trialLog;
    QVERIFY(QTest::qWaitFor([&] { return (trialLog += QString::fromLocal8Bit(trial.readAll())).contains(QLatin1String("leaves it alone")); }));
    trial.terminate();
    QVERIFY(trial.waitForFinished(10000));
    QCOMPARE(trial.exitCode(), 0);

    // The service's own command line run again is the same bridge, which runs: it does not start.
    QProcess again;
    again.setProcessChannelMode(QProcess::MergedChannels);
    again.start(QStringLiteral(DIMRA_MQTT_PROGRAM), m_bridge.arguments());
    QVERIFY(again.waitForFinished(10000));
    QCOMPARE(again.exitCode(), 1);
    QVERIFY(again.readAll().contains("another dimra-mqtt runs as the bridge"));

    // None of them emptied, published for or took the service's board, nor
    // set the service offline; the service still serves it.
    QVERIFY(everythingArrived());
    for (const MqttRecorder::Message &message : m_mqtt->messages()) {
        QVERIFY2(!message.topic.contains(QLatin1String("bench")), qPrintable(message.topic));
        QVERIFY2(message.topic != service || message.payload == "online", message.payload.constData());
    }
    QVERIFY(m_mqtt->publish(topic("ch1/set"), R"({"state":"ON","brightness":33})"));
    QTRY_COMPARE_WITH_TIMEOUT(bench->frames, QStringList{QStringLiteral("ch1 33")}, 5000);
}

void tst_DimraMqtt::ofTwoBridgesStartedTogetherOneServesTheBoard()
{
    // A bridge whose host lost its power still lists the board: both ask it and
    // wait alike for an answer that never comes, so they decide together.
    QVERIFY(addBoard(QStringLiteral("bench")) && m_mqtt->publish(QStringLiteral("dimra/bridge/gone/status"), "online", true));
    QVERIFY(m_mqtt->publish(QStringLiteral("dimra/bridge/gone/boards"), R"(["bench"])", true) && everythingArrived());
    QProcess second;
    QVERIFY(startBridge({QStringLiteral("bench")}));
    second.start(QStringLiteral(DIMRA_MQTT_PROGRAM),
                 QStringList{QStringLiteral("-p"), m_dir->filePath(QStringLiteral("bench"))} + brokerArguments());
    const QStringList statuses{bridgeStatus(m_bridge.arguments()), bridgeStatus(second.arguments())};
    const QStringList lists = QStringList(statuses).replaceInStrings(QStringLiteral("/status"), QStringLiteral("/boards"));
    QVERIFY(m_mqtt->waitFor(lists[0], containing("["), 10000) && m_mqtt->waitFor(lists[1], containing("["), 10000));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    // Once both have ended, each with its status: one served the board, the other left it alone once, its port untried.
    m_bridge.terminate();
    second.terminate();
    QVERIFY(m_bridge.waitForFinished(10000) && second.waitForFinished(10000));
    QVERIFY(m_mqtt->waitFor(statuses[0], "offline") && m_mqtt->waitFor(statuses[1], "offline"));
    QStringList published;
    for (const MqttRecorder::Message &message : m_mqtt->messages())
        if (lists.contains(message.topic) || message.topic == topic("availability"))
            published << message.payload;
    published.sort();
    QCOMPARE(published, (QStringList{R"(["bench"])", "[]", "offline", "offline", "online"}));
    const QString logs = m_log + QString::fromLocal8Bit(m_bridge.readAll() + second.readAllStandardError());
    QCOMPARE(logs.count(QLatin1String("leaves it alone")), 1);
    QVERIFY2(!logs.contains(QLatin1String("cannot open")), qPrintable(logs));

    // A port that no bridge claims is merely in use (the window, dimractl):
    // once the wait is over it is tried again, and served once it is let go.
    CBoardLink window;
    window.open(QFile::encodeName(m_dir->filePath(QStringLiteral("bench"))));
    m_log.clear();
    m_mqtt->clear();
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(QTest::qWaitFor([this] { return m_log.contains(QLatin1String("cannot open")); }, 8000));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "offline"));
    window.close();
    QVERIFY2(m_mqtt->waitFor(topic("availability"), "online", 10000), qPrintable(m_log));
}

void tst_DimraMqtt::aTransitionFadesAtTheLinesPaceAndEndsOnItsTarget()
{
    Board *board = addBoard(QStringLiteral("bench"), CBoardModel::Report, true);
    QVERIFY(board);
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));

    // Channel 1 begins a fade, and a command takes it over; channel 2 fades
    // over the same second, begun later: when it ends, channel 1's fade would
    // have ended, on the same step at the latest, which sends channel 1 first.
    QVERIFY(m_mqtt->publish(topic("ch1/set"), R"({"state":"ON","brightness":100,"transition":1})"));
    QVERIFY(QTest::qWaitFor([board] { return !board->frames.isEmpty(); }));
    QVERIFY(m_mqtt->publish(topic("ch1/set"), R"({"brightness":5})"));
    QVERIFY(m_mqtt->publish(topic("ch2/set"), R"({"state":"ON","brightness":100,"transition":1.0})"));
    QVERIFY(QTest::qWaitFor([board] { return board->frames.contains(QLatin1String("ch2 100")); }));

    QStringList ch1 = board->frames.filter(QStringLiteral("ch1 "));
    QCOMPARE(ch1.constLast(), QStringLiteral("ch1 5"));
    QVERIFY2(ch1.size() < 10, qPrintable(ch1.join(QLatin1Char(','))));
    // At least ten steps for the second, each higher, the last the target.
    const QStringList ch2 = board->frames.filter(QStringLiteral("ch2 "));
    QVERIFY2(ch2.size() >= 10, qPrintable(ch2.join(QLatin1Char(','))));
    for (qsizetype i = 1; i < ch2.size(); ++i)
        QVERIFY2(ch2[i].mid(4).toInt() > ch2[i - 1].mid(4).toInt(), qPrintable(ch2.join(QLatin1Char(','))));
    QVERIFY(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":1000,"ch1":5,"ch2":100,"ch3":0})"));
}

void tst_DimraMqtt::aPresetSetsTheBoardAsASetOfItsValuesWould()
{
    Board *board = addBoard(QStringLiteral("bench"));
    CPresetFile presets(m_dir->filePath(QStringLiteral("presets.json"))); // the user's file, which -p reads; not made yet
    const EnvOverride userFile("DIMRA_PRESETS", QFile::encodeName(presets.path()));
    m_bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM), QStringList{QStringLiteral("-p"), m_dir->filePath(QStringLiteral("bench")),
                                                                   QStringLiteral("--id"), QStringLiteral("bench")} + brokerArguments());
    const QString select = QStringLiteral("homeassistant/select/dimra_bench/preset/config");
    QVERIFY(board && m_mqtt->waitFor(select, containing(R"("options":[],)")) && m_mqtt->waitFor(topic("preset"), R"({"preset":null})"));
    // The select offers what the file holds once it is saved, without a command.
    QVERIFY(presets.save({QStringLiteral("A"), {std::nullopt, 40, std::nullopt, 0, 2000}}).outcome == PresetChange::Done
            && m_mqtt->waitFor(select, containing(R"("options":["A"],)")));
    // Home Assistant's select: its command template filled in with the option, on its command topic; its state.
    const QJsonObject config = QJsonDocument::fromJson(m_mqtt->last(select)).object();
    const QString chosen = config.value(QLatin1String("command_template")).toString().replace(QLatin1String("{{ value | to_json }}"), QLatin1String("\"A\""));
    QVERIFY(m_mqtt->publish(config.value(QLatin1String("command_topic")).toString(), chosen.toUtf8())
            && m_mqtt->waitFor(config.value(QLatin1String("state_topic")).toString(), R"({"preset":"A"})"));
    const QStringList frames{"frequency 2000", "ch1 40", "ch3 0"};
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, frames, 5000);
    QVERIFY(m_mqtt->publish(topic("set"), R"({"frequency":2000,"ch1":40,"ch3":0})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, frames + frames, 5000);
    // A channel moved otherwise ends the preset; a name the file has not is refused with those it has.
    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(topic("ch1/set"), R"({"brightness":5})") && m_mqtt->waitFor(topic("preset"), R"({"preset":null})"));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"preset":"B"})") && m_mqtt->waitFor(topic("error"), containing(R"(there is no preset "B"; the presets are "A")")));
    // Applied again, then moved at the board itself: the report that shows it ends the preset.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"preset":"A"})") && m_mqtt->waitFor(topic("preset"), R"({"preset":"A"})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->model->state().duty[0], 40, 5000);
    m_mqtt->clear();
    board->model->state().duty[0] = 7;
    QVERIFY(m_mqtt->publish(topic("get"), QByteArray()) && m_mqtt->waitFor(topic("preset"), R"({"preset":null})"));
    // Applied again, then deleted from the file: one that has left it is none the board holds.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"preset":"A"})") && m_mqtt->waitFor(topic("preset"), R"({"preset":"A"})"));
    m_mqtt->clear();
    QVERIFY(presets.remove(QStringLiteral("A")).outcome == PresetChange::Done && m_mqtt->waitFor(topic("preset"), R"({"preset":null})"));
    // One the file holds wrong is refused with what is wrong with it, not as missing.
    QFile file(presets.path());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"format": 1, "presets": [{"name": "B", "ch1": 101}]})") > 0);
    file.close();
    QVERIFY(m_mqtt->publish(topic("set"), R"({"preset":"B"})")
            && m_mqtt->waitFor(topic("error"), containing(R"(preset "B" is left out: ch1 101 is outside 0 to 100 %; nothing was sent)")));
}

void tst_DimraMqtt::whatIsNotKnownIsNotPublished()
{
    QVERIFY(addBoard(QStringLiteral("quiet"), CBoardModel::Quiet));
    QVERIFY(startBridge({QStringLiteral("quiet"), QStringLiteral("missing")}));
    // A board that never answers: nothing is known of it, and nothing is made up.
    QVERIFY(m_mqtt->waitFor(topic("state", "quiet"), R"({"linked":false,"frequency":null,"ch1":null,"ch2":null,"ch3":null})"));
    QVERIFY(m_mqtt->waitFor(topic("ch3", "quiet"), R"({"state":null,"brightness":null})"));
    QVERIFY(m_mqtt->waitFor(topic("availability", "quiet"), "offline"));
    // A port that never opens has nothing to say but offline: no state, no device in Home Assistant.
    QVERIFY(m_mqtt->waitFor(topic("availability", "missing"), "offline"));
    QVERIFY(QTest::qWaitFor([this] { return m_log.contains(QLatin1String("does not answer")); }, 8000));
    QVERIFY(everythingArrived());
    for (const MqttRecorder::Message &message : m_mqtt->messages())
        QVERIFY2(!message.topic.contains(QLatin1String("missing")) || message.topic == topic("availability", "missing"),
                 qPrintable(message.topic));
}

void tst_DimraMqtt::anUntrustedBrokerCertificateIsNamed()
{
    // The broker shows a certificate of its own; the bridge trusts another.
    QVERIFY(startTlsBroker());
    m_bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM),
                   {QStringLiteral("-p"), m_dir->filePath(QStringLiteral("bench")), QStringLiteral("--broker"),
                    QStringLiteral("127.0.0.1:%1").arg(m_broker->tlsPort()), QStringLiteral("--ca-file"), m_dir->filePath(QStringLiteral("other.pem"))});
    // Named, not taken for a broker that does not answer.
    QVERIFY(QTest::qWaitFor([this] { return m_log.contains(QLatin1String("untrusted certificate")); }));
    QVERIFY2(m_log.contains(QLatin1String("other.pem")) && !m_log.contains(QLatin1String("no answer")), qPrintable(m_log));
}

void tst_DimraMqtt::dimractlReachesABoardThroughItsBridge()
{
    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    const QString broker = QStringLiteral("mqtt://127.0.0.1:%1").arg(m_broker->port());
    const QString bench = broker + QStringLiteral("/bench");
    // The boards answer from this test's event loop, which runs while dimractl does.
    QProcess ctl;
    const auto ended = [&ctl] { return QTest::qWaitFor([&ctl] { return ctl.state() == QProcess::NotRunning; }, 10000); };
    auto run = [&ctl, ended](const QString &args, int exitCode, const QString &said) {
        ctl.start(QStringLiteral(DIMRA_CTL_PROGRAM), args.split(QLatin1Char(' ')));
        const bool finished = ended();
        const QString output = QString::fromUtf8(ctl.readAllStandardOutput() + ctl.readAllStandardError());
        return finished && ctl.exitCode() == exitCode && output.contains(said) ? QString() : output;
    };
    QCOMPARE(run(QStringLiteral("-p %1 set --freq 2000 --ch1 40 --verify").arg(bench), 0, QString()), QString());
    QCOMPARE(board->frames, (QStringList{"frequency 2000", "ch1 40"}));
    // get has the board report: values it took behind the bridge's back too.
    board->model->state() = {3000, {5, 6, 7}};
    QCOMPARE(run(QStringLiteral("-p %1 --json get").arg(bench), 0, R"({"frequency":3000,"ch1":5,"ch2":6,"ch3":7})"), QString());
    const QString bridgeId = bridgeStatus(m_bridge.arguments()).section(QLatin1Char('/'), 2, 2);
    QCOMPARE(run(QStringLiteral("--json list %1").arg(broker), 0,
                 QStringLiteral("[\n{\"port\":\"%1\",\"id\":\"bench\",\"name\":\"Dimra bench\",\"bridge\":\"%2\",\"online\":true}\n]\n")
                     .arg(bench, bridgeId)),
             QString());
    QCOMPARE(run(QStringLiteral("-p %1/ghost -t 300 get").arg(broker), 6, QStringLiteral("knows no board ghost")), QString());
    QCOMPARE(run(QStringLiteral("-p mqtt://127.0.0.1:1/bench get"), 3, QStringLiteral("no such port")), QString());

    // A setting the bridge refuses, with its reason: a bridge of the test's
    // own, for a value that dimra-mqtt itself would take.
    QVERIFY(m_mqtt->publish(bridgeTopic(QStringLiteral("own"), QStringLiteral("status")), "online", true));
    QVERIFY(m_mqtt->publish(bridgeTopic(QStringLiteral("own"), QStringLiteral("boards")), R"(["own"])", true));
    QVERIFY(m_mqtt->publish(topic("availability", "own"), "online", true));
    ctl.start(QStringLiteral(DIMRA_CTL_PROGRAM), {QStringLiteral("-p"), broker + QStringLiteral("/own"), QStringLiteral("set"),
                                                  QStringLiteral("--ch1"), QStringLiteral("40"), QStringLiteral("--verify")});
    QVERIFY(m_mqtt->waitFor(topic("get", "own")));
    QVERIFY(m_mqtt->publish(topic("state", "own"), R"({"linked":true,"frequency":1000,"ch1":0,"ch2":0,"ch3":0})"));
    QVERIFY(m_mqtt->waitFor(topic("set", "own"), R"({"ch1":40})"));
    QVERIFY(m_mqtt->publish(topic("error", "own"), "dimra/own/set: ch1: not now; nothing was sent"));
    QVERIFY(ended());
    QVERIFY2(ctl.exitCode() == 2 && ctl.readAllStandardError().contains("refused the setting: dimra/own/set: ch1: not now"),
             qPrintable(QString::number(ctl.exitCode())));

    // A drag's values given at once go out as one command, the last value.
    CRemoteBoardLink link;
    QSignalSpy linked(&link, &CAbstractBoardLink::linked);
    link.open(bench.toUtf8());
    QVERIFY(linked.wait(5000));
    m_mqtt->clear();
    for (int duty = 0; duty <= 100; ++duty)
        link.send(CDimraProtocol::CmdChannel3, duty);
    // Frames of earlier values would have come before the last one's.
    QTRY_COMPARE_WITH_TIMEOUT(board->frames.filter(QStringLiteral("ch3")), QStringList{QStringLiteral("ch3 100")}, 5000);

    // A broker that goes away ends the run as a lost board does.
    ctl.start(QStringLiteral(DIMRA_CTL_PROGRAM), {QStringLiteral("-p"), bench, QStringLiteral("monitor")});
    QVERIFY(QTest::qWaitFor([&ctl] { return ctl.bytesAvailable() > 0; }));
    m_broker->kill();
    QVERIFY(ended());
    QVERIFY2(ctl.exitCode() == 1 && ctl.readAllStandardError().contains("lost the broker"), qPrintable(QString::number(ctl.exitCode())));
}

void tst_DimraMqtt::theWindowFollowsABoardBehindItsBridge()
{
    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    board->model->state() = {2000, {10, 20, 30}};
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    const EnvOverride config("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
    DeviceTree devices; // the machine's own ports never show
    MessageRecorder messages;
    auto dlg = std::make_unique<CMyDimraDlg>();
    dlg->show();
    dlg->StartOn(QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(m_broker->port()), true);
    const auto control = [&dlg](const char *name) { return dlg->findChild<QWidget *>(QLatin1String(name)); };
    const auto mark = [&] { return qobject_cast<CLinkIndicator *>(control("linkIndicator"))->state(); };
    const auto slider = [&](const char *row) { return qobject_cast<QSlider *>(control(row)); };
    QTRY_COMPARE(mark(), CLinkIndicator::Linked);
    QCOMPARE(slider("sliderChannel3")->value(), 30);

    // A value set behind the window's back moves its slider; a slider moved reaches the board.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch2":55})"));
    QTRY_COMPARE(slider("sliderChannel2")->value(), 55);
    board->frames.clear();
    QTest::keyClick(slider("sliderChannel1"), Qt::Key_Right);
    QTRY_COMPARE(board->frames, QStringList{QStringLiteral("ch1 11")});

    // The next window selects the board again, and links on a click.
    QVERIFY(dlg->close());
    dlg = std::make_unique<CMyDimraDlg>();
    dlg->show();
    QVERIFY2(qobject_cast<QComboBox *>(control("comboPort"))->currentText().startsWith(QStringLiteral("bench  127.0.0.1 · mqtt://")),
             qPrintable(qobject_cast<QComboBox *>(control("comboPort"))->currentText()));
    QTest::mouseClick(qobject_cast<QPushButton *>(control("buttonConnect")), Qt::LeftButton);
    QTRY_COMPARE(mark(), CLinkIndicator::Linked);
    QCOMPARE(slider("sliderChannel1")->value(), 11);

    // A setting the bridge refuses is said in a notice; the bridge held
    // still, so that the refusal, the test's, comes before its answer.
    QVERIFY(::kill(pid_t(m_bridge.processId()), SIGSTOP) == 0);
    m_mqtt->clear();
    QTest::keyClick(slider("sliderChannel1"), Qt::Key_Right);
    QVERIFY(m_mqtt->waitFor(topic("set"), containing(R"("ch1":12)")));
    QVERIFY(m_mqtt->publish(topic("error"), "bench/set: refused here; nothing was sent"));
    QTRY_COMPARE(messages.notices.size(), 1);
    QVERIFY2(messages.notices.first().contains("refused here"), qPrintable(messages.notices.first()));
    messages.notices.clear();
    QVERIFY(::kill(pid_t(m_bridge.processId()), SIGCONT) == 0);

    // The bridge gone, the board does not answer; the mark's tooltip says
    // why, as the link knows it when the user looks.
    m_bridge.kill();
    QTRY_COMPARE(mark(), CLinkIndicator::NoAnswer);
    auto *indicator = qobject_cast<CLinkIndicator *>(control("linkIndicator"));
    const auto tip = [indicator] {
        QHelpEvent look(QEvent::ToolTip, QPoint(1, 1), indicator->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(indicator, &look);
        return indicator->toolTip();
    };
    QTRY_VERIFY2(tip().contains(QStringLiteral("is not running")), qPrintable(indicator->toolTip()));
    QVERIFY(m_mqtt->publish(bridgeStatus(m_bridge.arguments()).section(QLatin1Char('/'), 0, -2) + QStringLiteral("/boards"), "[]", true));
    QTRY_VERIFY2(tip().contains(QStringLiteral("No bridge serves bench")), qPrintable(indicator->toolTip()));
    // The broker gone, the window says so once and waits for no adapter,
    // although it would wait for one.
    const QList<QAction *> actions = dlg->actions();
    const auto reconnect = std::find_if(actions.begin(), actions.end(), [](QAction *a) { return a->isCheckable(); });
    QVERIFY(reconnect != actions.end());
    (*reconnect)->setChecked(true);
    m_broker->kill();
    QTRY_COMPARE(messages.messages.size(), 1);
    QVERIFY(ProcessEventsUntilIdle());
    QCOMPARE(messages.messages.size(), 1);
    QVERIFY2(messages.notices.isEmpty(), qPrintable(messages.notices.join(QLatin1Char('\n'))));
    QCOMPARE(mark(), CLinkIndicator::PortClosed);

    // The address keeps its entry, first, while adapters come and go.
    auto *ports = qobject_cast<QComboBox *>(control("comboPort"));
    ports->setCurrentIndex(1);
    PtyPair adapter;
    QVERIFY(devices.plug(QStringLiteral("serial/by-id/usb-A"), adapter.slavePath()));
    QTRY_VERIFY_WITH_TIMEOUT(ports->itemText(1).endsWith(QStringLiteral(" · A")), 5000);
    QVERIFY2(ports->itemText(0).startsWith(QStringLiteral("bench  ")), qPrintable(ports->itemText(0)));
}

void tst_DimraMqtt::whyABoardBehindABridgeDoesNotAnswerIsSaid_data()
{
    // What the broker keeps of the board "own" and of the bridge "lab", the
    // test playing the bridge; answered: a fresh state follows dimractl's get.
    QTest::addColumn<QByteArray>("status");       // lab's; none when empty
    QTest::addColumn<QByteArray>("boards");       // lab's list; none when empty
    QTest::addColumn<QByteArray>("availability"); // own's
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("a board no bridge lists") << QByteArray() << QByteArray() << QByteArray("offline") << false << 6
                                             << "No bridge serves own any more";
    QTest::newRow("its bridge stopped") << QByteArray("offline") << QByteArray(R"(["own"])") << QByteArray("offline") << false
                                        << 6 << "The bridge lab that serves own is not running";
    QTest::newRow("its bridge gone without taking the board offline, a state coming all the same")
        << QByteArray("offline") << QByteArray(R"(["own"])") << QByteArray("online") << true << 6 << "is not running";
    QTest::newRow("offline at its bridge") << QByteArray("online") << QByteArray(R"(["own"])") << QByteArray("offline") << false
                                           << 6 << "The bridge lab reports own offline";
    QTest::newRow("the bridge passes on no report") << QByteArray("online") << QByteArray(R"(["own"])") << QByteArray("online")
                                                    << false << 6 << "The bridge lab did not pass on a report of own";
    QTest::newRow("the bridge answers") << QByteArray("online") << QByteArray(R"(["own"])") << QByteArray("online") << true
                                        << 0 << "ch1 7 %";
}

void tst_DimraMqtt::whyABoardBehindABridgeDoesNotAnswerIsSaid()
{
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, boards);
    QFETCH(QByteArray, availability);
    QFETCH(bool, answered);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    if (!status.isEmpty())
        QVERIFY(m_mqtt->publish(bridgeTopic(QStringLiteral("lab"), QStringLiteral("status")), status, true));
    if (!boards.isEmpty())
        QVERIFY(m_mqtt->publish(bridgeTopic(QStringLiteral("lab"), QStringLiteral("boards")), boards, true));
    // As a bridge keeps them: the state linked while the board is online.
    QVERIFY(m_mqtt->publish(topic("state", "own"), availability == "online" ? R"({"linked":true,"frequency":1000,"ch1":5,"ch2":0,"ch3":0})"
                                                                            : R"({"linked":false})", true));
    QVERIFY(m_mqtt->publish(topic("availability", "own"), availability, true));
    QVERIFY(m_mqtt->waitFor(topic("availability", "own"), availability));
    QProcess ctl;
    ctl.setProcessChannelMode(QProcess::MergedChannels);
    ctl.start(QStringLiteral(DIMRA_CTL_PROGRAM), {QStringLiteral("-p"), QStringLiteral("mqtt://127.0.0.1:%1/own").arg(m_broker->port()),
                                                  QStringLiteral("-t"), QStringLiteral("1000"), QStringLiteral("get")});
    if (answered) {
        QVERIFY(m_mqtt->waitFor(topic("get", "own")));
        QVERIFY(m_mqtt->publish(topic("state", "own"), R"({"linked":true,"frequency":1000,"ch1":7,"ch2":0,"ch3":0})"));
    }
    QVERIFY(QTest::qWaitFor([&ctl] { return ctl.state() == QProcess::NotRunning; }, 10000));
    const QString output = QString::fromUtf8(ctl.readAll());
    QVERIFY2(ctl.exitCode() == exitCode && output.contains(said), qPrintable(QString::number(ctl.exitCode()) + ' ' + output));
}

void tst_DimraMqtt::dimractlLogsInAsTheAddressSays_data()
{
    // The broker lets alice in with "secret" alone, and a client without a
    // user name as ever. %b stands for the broker, %t for its TLS listener,
    // %d for the test's folder, which holds the password file "password" (a
    // CRLF line), the certificates of startTlsBroker, and no "missing".
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("env"); // NAME=value ...
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // a part of standard error
    QTest::newRow("the password from its file") << "list mqtt://alice@%b" << "DIMRA_MQTT_PASSWORD_FILE=%d/password" << 0 << "";
    QTest::newRow("the password's variable before its file")
        << "list mqtt://alice@%b" << "DIMRA_MQTT_PASSWORD=secret DIMRA_MQTT_PASSWORD_FILE=%d/missing" << 0 << "";
    QTest::newRow("a wrong password") << "-p mqtt://alice@%b/bench get" << "DIMRA_MQTT_PASSWORD=wrong" << 4
                                      << "no permission: the broker at mqtt://alice@%b does not let this client in";
    QTest::newRow("a wrong password, listing") << "list mqtt://alice@%b" << "DIMRA_MQTT_PASSWORD=wrong" << 4
                                               << "refused the user \"alice\"";
    QTest::newRow("a password file that cannot be read")
        << "-p mqtt://alice@%b/bench get" << "DIMRA_MQTT_PASSWORD_FILE=%d/missing" << 1 << "DIMRA_MQTT_PASSWORD_FILE";
    QTest::newRow("a password in the address") << "-p mqtt://alice:secret@%b/bench get" << "" << 2 << "DIMRA_MQTT_PASSWORD";
    QTest::newRow("a broker not reached, listing") << "list mqtt://127.0.0.1:1" << "" << 3 << "no such port: cannot reach";
    QTest::newRow("mqtts:// trusting the CA file named") << "list mqtts://%t" << "DIMRA_MQTT_CAFILE=%d/broker.pem" << 0 << "";
    QTest::newRow("mqtts:// with a CA file that does not trust the broker")
        << "-p mqtts://%t/bench get" << "DIMRA_MQTT_CAFILE=%d/other.pem" << 3 << "not trusted by the CA in %d/other.pem";
}

void tst_DimraMqtt::dimractlLogsInAsTheAddressSays()
{
    QFETCH(QString, args);
    QFETCH(QString, env);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    m_broker->setUser(QStringLiteral("alice"), QStringLiteral("secret"));
    QVERIFY2(startTlsBroker(), qPrintable(m_broker->error()));
    QFile password(m_dir->filePath(QStringLiteral("password")));
    QVERIFY(password.open(QIODevice::WriteOnly) && password.write("secret\r\nnot this line\n") > 0);
    password.close();
    const auto fill = [this](QString text) {
        return text.replace(QLatin1String("%b"), QStringLiteral("127.0.0.1:%1").arg(m_broker->port()))
            .replace(QLatin1String("%t"), QStringLiteral("127.0.0.1:%1").arg(m_broker->tlsPort()))
            .replace(QLatin1String("%d"), m_dir->path());
    };
    QProcessEnvironment childEnv = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DIMRA_MQTT_PASSWORD", "DIMRA_MQTT_PASSWORD_FILE", "DIMRA_MQTT_CAFILE"})
        childEnv.remove(QLatin1String(name));
    for (const QString &assignment : fill(env).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        childEnv.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    QProcess ctl;
    ctl.setProcessEnvironment(childEnv);
    ctl.start(QStringLiteral(DIMRA_CTL_PROGRAM), (QStringLiteral("-t 3000 ") + fill(args)).split(QLatin1Char(' ')));
    QVERIFY(ctl.waitForFinished(10000));
    const QString err = QString::fromUtf8(ctl.readAllStandardError());
    QVERIFY2(ctl.exitCode() == exitCode && err.contains(fill(said)), qPrintable(QString::number(ctl.exitCode()) + ' ' + err));
    QVERIFY2(!err.contains(QLatin1String("secret")), qPrintable(err)); // no message shows a password
}

void tst_DimraMqtt::whatCannotStartEndsWithItsExitStatus_data()
{
    // The service restarts on a failure; 2 says the command line itself
    // must change, 1 that a file it names cannot be read.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("named"); // what the message names
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 2 << QStringLiteral("bogus");
    QTest::newRow("unreadable CA file") << QStringList{QStringLiteral("-p"), QStringLiteral("bench"),
                                                      QStringLiteral("--ca-file"), QStringLiteral("%1/missing-ca.pem")}
                                        << 1 << QStringLiteral("missing-ca.pem");
    QTest::newRow("unreadable password file")
        << QStringList{QStringLiteral("-p"), QStringLiteral("bench"), QStringLiteral("--user"), QStringLiteral("dimra"),
                       QStringLiteral("--password-file"), QStringLiteral("%1/missing-password")}
        << 1 << QStringLiteral("missing-password");
    const QStringList caFile{QStringLiteral("-p"), QStringLiteral("bench"), QStringLiteral("--ca-file")};
    QTest::newRow("a folder as CA file") << caFile + QStringList{QStringLiteral("%1")} << 1 << QStringLiteral("is a folder");
    // Read, a device would be taken for an empty file, and a pipe would wait for a writer.
    QTest::newRow("a device as CA file") << caFile + QStringList{QStringLiteral("/dev/null")} << 1
                                         << QStringLiteral("/dev/null is a folder or a device");
    QTest::newRow("a CA file without a certificate") << caFile + QStringList{QStringLiteral(DIMRA_MQTT_PROGRAM)} << 1
                                                     << QStringLiteral("holds no certificate");
}

void tst_DimraMqtt::whatCannotStartEndsWithItsExitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, named);
    arguments.replaceInStrings(QStringLiteral("%1"), m_dir->path()); // the files named are not there
    m_bridge.start(QStringLiteral(DIMRA_MQTT_PROGRAM), arguments);
    QVERIFY(m_bridge.waitForFinished(10000));
    m_log += QString::fromLocal8Bit(m_bridge.readAll());
    QCOMPARE(m_bridge.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_bridge.exitCode(), exitCode);
    QVERIFY2(m_log.contains(named), qPrintable(m_log));
}

QTEST_MAIN(tst_DimraMqtt)
#include "tst_dimramqtt.moc"
