#include "boardmodel.h"
#include "boardserver.h"
#include "bridgemessages.h"
#include "mosquittobroker.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// dimra-mqtt end to end: the program against a real broker and virtual
// boards on pseudo-terminals, seen through the broker and at the boards'
// lines. One test a behaviour; what a payload means is tst_bridgemessages'.
class tst_DimraMqtt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandsReachTheWireOrNothingDoes_data();
    void commandsReachTheWireOrNothingDoes();
    void aBoardsReportBecomesRetainedState();
    void aFastSliderEndsWithItsFinalValueNotABacklog();
    void discoveryComesAgainForHomeAssistantAndGoesForABoardTakenOut();
    void anUnpluggedBoardGoesOfflineAndComesBackWithItsState();
    void aBrokerThatRestartsGetsEverythingAgain();
    void aBoardThatNeverAnswersStaysOfflineAndTheLogSaysWhy();
    void sigtermPublishesOfflineAndDrainsTheLines();
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
    bool stopBridge(); // SIGTERM; true when it exited with status 0

    std::unique_ptr<MosquittoBroker> m_broker;
    std::unique_ptr<MqttRecorder> m_mqtt;
    std::unique_ptr<QTemporaryDir> m_dir;
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

QString bridgeStatus()
{
    return bridgeTopic(tidyHostName(QSysInfo::machineHostName()), QStringLiteral("status"));
}

std::function<bool(const QByteArray &)> containing(const QByteArray &part)
{
    return [part](const QByteArray &payload) { return payload.contains(part); };
}

} // namespace

void tst_DimraMqtt::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
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
    m_log += QString::fromLocal8Bit(m_bridge.readAll());
    if (QTest::currentTestFailed())
        qWarning("dimra-mqtt said:\n%s", qPrintable(m_log));
    m_boards.clear();
    m_mqtt.reset();
    m_broker.reset();
}

tst_DimraMqtt::Board *tst_DimraMqtt::addBoard(const QString &id, CBoardModel::Mode mode, bool paced)
{
    Board &board = m_boards[id];
    board.model = std::make_unique<CBoardModel>(mode);
    board.server = std::make_unique<CBoardServer>(board.model.get());
    board.server->setPaced(paced);
    QString error;
    if (!board.server->OpenPty(&error) || !board.server->LinkTo(m_dir->filePath(id), &error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    connect(board.server.get(), &CBoardServer::framesReceived, board.server.get(),
            [&board](const QList<CFrameReader::Frame> &frames) {
                for (const CFrameReader::Frame &frame : frames)
                    if (frame.verdict == CFrameReader::Good && frame.code > 0)
                        board.frames << QStringLiteral("%1 %2").arg(CDimraProtocol::valueKey(frame.code)).arg(
                            CBoardModel::DecodeValue(frame.code, frame.data));
            });
    return &board;
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

bool tst_DimraMqtt::stopBridge()
{
    m_bridge.terminate();
    return m_bridge.waitForFinished(10000) && m_bridge.exitStatus() == QProcess::NormalExit && m_bridge.exitCode() == 0;
}

void tst_DimraMqtt::commandsReachTheWireOrNothingDoes_data()
{
    QTest::addColumn<QString>("leaf");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("retain");
    QTest::addColumn<QStringList>("frames");  // at the board, in order
    QTest::addColumn<QByteArray>("stateHas"); // in the retained state afterwards
    QTest::addColumn<QByteArray>("refusal");  // in the error message; empty: none

    QTest::newRow("set, all four") << "set" << QByteArray(R"({"ch3":100,"ch1":40,"frequency":2000,"ch2":0})") << false
                                   << QStringList{"frequency 2000", "ch1 40", "ch2 0", "ch3 100"}
                                   << QByteArray(R"("frequency":2000,"ch1":40,"ch2":0,"ch3":100)") << QByteArray();
    QTest::newRow("a light's brightness") << "ch2/set" << QByteArray(R"({"state":"ON","brightness":25})") << false
                                          << QStringList{"ch2 25"} << QByteArray(R"("ch2":25)") << QByteArray();
    QTest::newRow("light on goes back to the reported duty") << "ch1/set" << QByteArray(R"({"state":"ON"})") << false
                                                             << QStringList{"ch1 60"} << QByteArray(R"("ch1":60)")
                                                             << QByteArray();
    QTest::newRow("one value out of range refuses all") << "set" << QByteArray(R"({"frequency":2000,"ch1":101})")
                                                        << false << QStringList() << QByteArray(R"("frequency":1000,"ch1":60)")
                                                        << QByteArray("ch1");
    QTest::newRow("a retained command") << "set" << QByteArray(R"({"ch1":40})") << true << QStringList()
                                        << QByteArray(R"("ch1":60)") << QByteArray("retained");
}

void tst_DimraMqtt::commandsReachTheWireOrNothingDoes()
{
    QFETCH(QString, leaf);
    QFETCH(QByteArray, payload);
    QFETCH(bool, retain);
    QFETCH(QStringList, frames);
    QFETCH(QByteArray, stateHas);
    QFETCH(QByteArray, refusal);

    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    board->model->state() = {1000, {60, 0, 0}};
    const QString command = boardTopic(QStringLiteral("bench"), leaf);
    // A retained command is already there when the bridge subscribes.
    QVERIFY(!retain || m_mqtt->publish(command, payload, true));
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":1000,"ch1":60,"ch2":0,"ch3":0})"));
    QVERIFY(retain || m_mqtt->publish(command, payload));

    if (!refusal.isEmpty()) {
        QVERIFY(m_mqtt->waitFor(topic("error"), containing(refusal)));
        // Commands are taken in order: once a later one is on the line, the
        // refused one has had every chance to send something.
        QVERIFY(m_mqtt->publish(topic("set"), R"({"ch3":7})"));
        frames = QStringList{QStringLiteral("ch3 7")};
    }
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, frames, 5000);
    QVERIFY2(m_mqtt->waitFor(topic("state"), containing(stateHas)), m_mqtt->last(topic("state")).constData());
}

void tst_DimraMqtt::aBoardsReportBecomesRetainedState()
{
    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    board->model->state() = {2500, {10, 20, 30}};
    QVERIFY(startBridge({QStringLiteral("bench")}));
    const QByteArray state = R"({"linked":true,"frequency":2500,"ch1":10,"ch2":20,"ch3":30})";
    QVERIFY(m_mqtt->waitFor(topic("state"), state));

    // Whoever subscribes later is told at once, by the broker.
    MqttRecorder late(m_broker->port(), kEverything);
    QVERIFY(late.waitConnected());
    QVERIFY(late.waitFor(topic("ch2"), R"({"state":"ON","brightness":20})"));
    QVERIFY(late.waitFor(topic("availability"), "online"));
    QVERIFY(late.waitFor(topic("state"), state));
    for (const MqttRecorder::Message &message : late.messages())
        QVERIFY2(message.retained, qPrintable(message.topic));
}

void tst_DimraMqtt::aFastSliderEndsWithItsFinalValueNotABacklog()
{
    Board *board = addBoard(QStringLiteral("bench"), CBoardModel::Report, true);
    QVERIFY(board);
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("state"), containing(R"("linked":true,"frequency":1000)")));
    for (int duty = 1; duty <= 100; ++duty)
        QVERIFY(m_mqtt->publish(topic("ch1/set"), QStringLiteral(R"({"state":"ON","brightness":%1})").arg(duty).toUtf8()));
    QTRY_VERIFY_WITH_TIMEOUT(!board->frames.isEmpty() && board->frames.constLast() == QLatin1String("ch1 100"), 5000);
    QVERIFY(m_mqtt->waitFor(topic("ch1"), R"({"state":"ON","brightness":100})"));
    // 100 frames would take more than 0.8 s at 9600 baud; merged, a handful.
    QVERIFY2(board->frames.size() < 50, qPrintable(board->frames.join(QLatin1Char(','))));
}

void tst_DimraMqtt::discoveryComesAgainForHomeAssistantAndGoesForABoardTakenOut()
{
    QVERIFY(addBoard(QStringLiteral("left")) && addBoard(QStringLiteral("right")));
    const QString rightLight = QStringLiteral("homeassistant/light/dimra_right/ch1/config");
    const QString leftLight = QStringLiteral("homeassistant/light/dimra_left/ch1/config");
    QVERIFY(startBridge({QStringLiteral("left"), QStringLiteral("right")}));
    QVERIFY(m_mqtt->waitFor(rightLight));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/number/dimra_left/frequency/config")));
    const QJsonObject light = QJsonDocument::fromJson(m_mqtt->last(rightLight)).object();
    QCOMPARE(light.value(QLatin1String("command_topic")).toString(), QStringLiteral("dimra/right/ch1/set"));

    m_mqtt->clear();
    QVERIFY(m_mqtt->publish(QStringLiteral("homeassistant/status"), "online"));
    QVERIFY(m_mqtt->waitFor(rightLight));
    QVERIFY(m_mqtt->waitFor(leftLight));

    // The next run serves only the left board: the right one's topics are emptied.
    QVERIFY(stopBridge());
    m_mqtt->clear();
    QVERIFY(startBridge({QStringLiteral("left")}));
    QVERIFY(m_mqtt->waitFor(rightLight, QByteArray()));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/number/dimra_right/frequency/config"), QByteArray()));
    QVERIFY(m_mqtt->waitFor(topic("state", "right"), QByteArray()));
    QVERIFY(!m_mqtt->last(leftLight).isEmpty());
}

void tst_DimraMqtt::anUnpluggedBoardGoesOfflineAndComesBackWithItsState()
{
    // The board program itself, so that unplugging is its process ending.
    const QString link = m_dir->filePath(QStringLiteral("bench"));
    QProcess board;
    auto plugIn = [&] {
        board.start(QStringLiteral(DIMRA_BOARD_PROGRAM), {QStringLiteral("--link"), link});
        return board.waitForStarted(5000) && WaitUntil([&] { return QFileInfo(link).isSymLink(); });
    };
    QVERIFY(plugIn());
    QVERIFY(startBridge({QStringLiteral("bench")}, true));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch2":40,"frequency":3000})"));
    const QByteArray commanded = R"({"linked":true,"frequency":3000,"ch1":0,"ch2":40,"ch3":0})";
    QVERIFY(m_mqtt->waitFor(topic("state"), commanded));

    board.terminate();
    QVERIFY(board.waitForFinished(5000));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "offline"));
    QVERIFY(m_mqtt->waitFor(topic("state"), [](const QByteArray &p) { return p.startsWith(R"({"linked":false)"); }));

    // A fresh board holds 1000 Hz and 0 %; with restore the bridge sends the
    // commanded values again once it has reported.
    m_mqtt->clear();
    QVERIFY(plugIn());
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online", 10000));
    QVERIFY(m_mqtt->waitFor(topic("state"), commanded));
    QCOMPARE(m_mqtt->last(topic("state")), commanded);
    board.terminate();
    board.waitForFinished(5000);
}

void tst_DimraMqtt::aBrokerThatRestartsGetsEverythingAgain()
{
    Board *board = addBoard(QStringLiteral("bench"));
    QVERIFY(board);
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));

    // Nothing is kept across the restart: what comes is published anew.
    m_broker->kill();
    QVERIFY2(m_broker->start(), qPrintable(m_broker->error()));
    QVERIFY(WaitUntil([this] { return m_log.contains(QLatin1String("lost the broker")); }));
    m_mqtt = std::make_unique<MqttRecorder>(m_broker->port(), kEverything);
    QVERIFY(m_mqtt->waitConnected());
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online", 10000));
    QVERIFY(m_mqtt->waitFor(topic("state")));
    QVERIFY(m_mqtt->waitFor(topic("ch3")));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/light/dimra_bench/ch2/config")));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "online"));
    // And the subscriptions are back.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch1":33})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, QStringList{QStringLiteral("ch1 33")}, 5000);

    // A bridge that dies leaves its will.
    m_bridge.kill();
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "offline"));
}

void tst_DimraMqtt::aBoardThatNeverAnswersStaysOfflineAndTheLogSaysWhy()
{
    Board *quiet = addBoard(QStringLiteral("quiet"), CBoardModel::Quiet);
    QVERIFY(quiet);
    const QString availability = topic("availability", "quiet");
    QVERIFY(startBridge({QStringLiteral("quiet")}));
    QVERIFY(m_mqtt->waitFor(availability, "offline"));
    QVERIFY(WaitUntil([this] { return m_log.contains(QLatin1String("does not answer")); }, 8000));
    // A command waits for the board instead of going to one that is not linked.
    QVERIFY(m_mqtt->publish(topic("set", "quiet"), R"({"ch1":50})"));
    QVERIFY(m_mqtt->publish(topic("ch2/set", "quiet"), "nonsense"));
    QVERIFY(m_mqtt->waitFor(topic("error", "quiet")));
    QVERIFY(quiet->frames.isEmpty());
    QCOMPARE(m_mqtt->last(availability), QByteArray("offline"));
}

void tst_DimraMqtt::sigtermPublishesOfflineAndDrainsTheLines()
{
    Board *board = addBoard(QStringLiteral("bench"), CBoardModel::Report, true);
    QVERIFY(board);
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(topic("availability"), "online"));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "online"));

    // Four frames take about 40 ms at 9600 baud: three still wait when the
    // first has arrived and the signal comes.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"frequency":5000,"ch1":11,"ch2":22,"ch3":33})"));
    QTRY_VERIFY_WITH_TIMEOUT(!board->frames.isEmpty(), 5000);
    QVERIFY(stopBridge());
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, (QStringList{"frequency 5000", "ch1 11", "ch2 22", "ch3 33"}), 5000);
    QVERIFY(m_mqtt->waitFor(topic("availability"), "offline"));
    QVERIFY(m_mqtt->waitFor(topic("state"), R"({"linked":false,"frequency":5000,"ch1":11,"ch2":22,"ch3":33})"));
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "offline"));
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

QTEST_GUILESS_MAIN(tst_DimraMqtt)
#include "tst_dimramqtt.moc"
