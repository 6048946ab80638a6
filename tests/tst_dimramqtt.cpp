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
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "online"));
    // And the subscriptions are back.
    QVERIFY(m_mqtt->publish(topic("set"), R"({"ch1":33})"));
    QTRY_COMPARE_WITH_TIMEOUT(board->frames, QStringList{QStringLiteral("ch1 33")}, 5000);
    QVERIFY(quiet->frames.isEmpty());
    QCOMPARE(m_mqtt->last(topic("availability", "quiet")), QByteArray("offline"));

    // A bridge that dies leaves its will.
    m_bridge.kill();
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "offline"));
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
    QVERIFY2(m_mqtt->waitFor(topic("state"), R"({"linked":true,"frequency":3000,"ch1":5,"ch2":40,"ch3":0})"),
             m_mqtt->last(topic("state")).constData());
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
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "online"));

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
    QVERIFY(m_mqtt->waitFor(bridgeStatus(), "offline"));

    // The next run serves only the bench board: the right one's topics are emptied.
    m_mqtt->clear();
    QVERIFY(startBridge({QStringLiteral("bench")}));
    QVERIFY(m_mqtt->waitFor(rightLight, QByteArray()));
    QVERIFY(m_mqtt->waitFor(QStringLiteral("homeassistant/number/dimra_right/frequency/config"), QByteArray()));
    QVERIFY(m_mqtt->waitFor(topic("state", "right"), QByteArray()));
    QVERIFY(!m_mqtt->last(QStringLiteral("homeassistant/light/dimra_bench/ch1/config")).isEmpty());
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
