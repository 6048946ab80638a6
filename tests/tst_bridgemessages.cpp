#include "bridgemessages.h"
#include "protocolnumbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// What dimra-mqtt takes from and gives to the broker, as pure functions:
// commands are taken whole or refused whole, and the payloads carry what
// their readers (people, dashboards, Home Assistant) rely on.
class tst_BridgeMessages : public QObject
{
    Q_OBJECT

private slots:
    void setPayload_data();
    void setPayload();
    void lightCommand_data();
    void lightCommand();
    void statePayloadsFollowTheValues();
    void discoveryConfigsCarryWhatHomeAssistantRequires_data();
    void discoveryConfigsCarryWhatHomeAssistantRequires();
    void boardIds_data();
    void boardIds();
    void boardListsRoundTripAndDropWhatIsNoId();
};

namespace {

// The values of a command as one line, or "refused".
QString describe(const ParsedCommand &command)
{
    if (!command.ok())
        return QStringLiteral("refused");
    QStringList parts;
    for (int code = 1; code <= 4; ++code)
        if (command.values[code])
            parts << QStringLiteral("%1=%2").arg(valueKey(code)).arg(*command.values[code]);
    return parts.join(QLatin1Char(' '));
}

} // namespace

void tst_BridgeMessages::setPayload_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("reasonNames"); // a word the refusal must contain

    QTest::newRow("all four") << QByteArray(R"({"frequency":2000,"ch1":40,"ch2":0,"ch3":100})")
                              << "ch1=40 ch2=0 ch3=100 frequency=2000" << "";
    QTest::newRow("range edges") << QByteArray(R"({"frequency":25,"ch1":0,"ch3":100})") << "ch1=0 ch3=100 frequency=25" << "";
    QTest::newRow("top frequency") << QByteArray(R"({"frequency":150000})") << "frequency=150000" << "";
    QTest::newRow("40.0 is whole") << QByteArray(R"({"ch2":40.0})") << "ch2=40" << "";
    QTest::newRow("frequency above range") << QByteArray(R"({"frequency":150001})") << "refused" << "150001";
    QTest::newRow("frequency below range") << QByteArray(R"({"frequency":24})") << "refused" << "frequency";
    QTest::newRow("duty 101 refuses the good frequency too") << QByteArray(R"({"frequency":2000,"ch1":101})")
                                                             << "refused" << "ch1";
    QTest::newRow("negative duty") << QByteArray(R"({"ch3":-1})") << "refused" << "ch3";
    QTest::newRow("fraction") << QByteArray(R"({"ch1":40.5})") << "refused" << "whole";
    QTest::newRow("number as text") << QByteArray(R"({"ch1":"40"})") << "refused" << "whole";
    QTest::newRow("boolean") << QByteArray(R"({"ch1":true})") << "refused" << "whole";
    QTest::newRow("null") << QByteArray(R"({"ch1":null})") << "refused" << "whole";
    QTest::newRow("unknown key beside good ones") << QByteArray(R"({"ch1":10,"ch4":10})") << "refused" << "ch4";
    QTest::newRow("empty object") << QByteArray("{}") << "refused" << "nothing";
    QTest::newRow("array") << QByteArray("[40]") << "refused" << "object";
    QTest::newRow("not JSON") << QByteArray("ch1=40") << "refused" << "JSON";
    QTest::newRow("garbage after the object") << QByteArray(R"({"ch1":1} rm -rf)") << "refused" << "JSON";
    QTest::newRow("empty payload") << QByteArray() << "refused" << "JSON";
    QTest::newRow("huge payload") << QByteArray(R"({"ch1":1)") + QByteArray(kMaxCommandPayload, ' ') + "}"
                                  << "refused" << "bytes";
}

void tst_BridgeMessages::setPayload()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, expected);
    QFETCH(QString, reasonNames);
    const ParsedCommand command = parseSetPayload(payload);
    QCOMPARE(describe(command), expected);
    QVERIFY2(command.error.contains(reasonNames), qPrintable(command.error));
}

void tst_BridgeMessages::lightCommand_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("lastOn");
    QTest::addColumn<QString>("expected");

    QTest::newRow("on with brightness") << QByteArray(R"({"state":"ON","brightness":40})") << 70 << "ch2=40";
    QTest::newRow("on restores the last duty") << QByteArray(R"({"state":"ON"})") << 70 << "ch2=70";
    QTest::newRow("on without a last duty is full") << QByteArray(R"({"state":"ON"})") << 0 << "ch2=100";
    QTest::newRow("off") << QByteArray(R"({"state":"OFF"})") << 70 << "ch2=0";
    QTest::newRow("off wins over a brightness") << QByteArray(R"({"state":"OFF","brightness":40})") << 70 << "ch2=0";
    QTest::newRow("brightness alone") << QByteArray(R"({"brightness":30})") << 70 << "ch2=30";
    QTest::newRow("brightness 0 with on") << QByteArray(R"({"state":"ON","brightness":0})") << 70 << "ch2=0";
    QTest::newRow("state in lower case") << QByteArray(R"({"state":"on"})") << 70 << "refused";
    QTest::newRow("brightness on the 255 scale") << QByteArray(R"({"state":"ON","brightness":255})") << 70 << "refused";
    QTest::newRow("a transition it cannot do") << QByteArray(R"({"state":"ON","transition":2})") << 70 << "refused";
    QTest::newRow("nothing") << QByteArray("{}") << 70 << "refused";
    QTest::newRow("bare ON, not JSON") << QByteArray("ON") << 70 << "refused";
}

void tst_BridgeMessages::lightCommand()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, lastOn);
    QFETCH(QString, expected);
    QCOMPARE(describe(parseLightCommand(payload, 2, lastOn)), expected);
}

void tst_BridgeMessages::statePayloadsFollowTheValues()
{
    BoardState state;
    QCOMPARE(stateJson(state), QByteArray(R"({"linked":false,"frequency":25,"ch1":0,"ch2":0,"ch3":0})"));
    state.linked = true;
    state.values = {0, 40, 0, 100, 1000};
    QCOMPARE(stateJson(state), QByteArray(R"({"linked":true,"frequency":1000,"ch1":40,"ch2":0,"ch3":100})"));
    QCOMPARE(lightStateJson(40), QByteArray(R"({"state":"ON","brightness":40})"));
    QCOMPARE(lightStateJson(0), QByteArray(R"({"state":"OFF","brightness":0})"));
}

void tst_BridgeMessages::discoveryConfigsCarryWhatHomeAssistantRequires_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("commandTopic");
    QTest::addColumn<QString>("stateTopic");

    QTest::newRow("channel 1 light") << "ha/light/dimra_bench/ch1/config" << "dimra/bench/ch1/set" << "dimra/bench/ch1";
    QTest::newRow("channel 3 light") << "ha/light/dimra_bench/ch3/config" << "dimra/bench/ch3/set" << "dimra/bench/ch3";
    QTest::newRow("frequency number") << "ha/number/dimra_bench/frequency/config" << "dimra/bench/set"
                                      << "dimra/bench/state";
}

void tst_BridgeMessages::discoveryConfigsCarryWhatHomeAssistantRequires()
{
    QFETCH(QString, topic);
    QFETCH(QString, commandTopic);
    QFETCH(QString, stateTopic);
    const DiscoveryBoard board{QStringLiteral("ha"), QStringLiteral("bench"), QStringLiteral("Dimra bench"),
                               QStringLiteral("dimra/bridge/pc1/status"), QStringLiteral("1.0")};
    const QList<RetainedMessage> configs = discoveryConfigs(board);
    QCOMPARE(configs.size(), 4);
    QCOMPARE(discoveryTopics(QStringLiteral("ha"), QStringLiteral("bench")).size(), 4);
    QSet<QString> uniqueIds;
    QJsonObject config;
    for (const RetainedMessage &message : configs) {
        const QJsonObject object = QJsonDocument::fromJson(message.payload).object();
        uniqueIds.insert(object.value(QLatin1String("unique_id")).toString());
        if (message.topic == topic)
            config = object;
    }
    QCOMPARE(uniqueIds.size(), 4);
    QVERIFY2(!config.isEmpty(), "no config on the topic");

    QCOMPARE(config.value(QLatin1String("command_topic")).toString(), commandTopic);
    QCOMPARE(config.value(QLatin1String("state_topic")).toString(), stateTopic);
    QVERIFY(config.value(QLatin1String("unique_id")).toString().startsWith(QLatin1String("dimra_bench_")));
    QVERIFY(!config.value(QLatin1String("name")).toString().isEmpty());
    const QJsonObject device = config.value(QLatin1String("device")).toObject();
    QCOMPARE(device.value(QLatin1String("identifiers")).toArray(), QJsonArray{QStringLiteral("dimra_bench")});
    QCOMPARE(device.value(QLatin1String("name")).toString(), QStringLiteral("Dimra bench"));
    // Unavailable when either the board or the bridge is offline.
    QCOMPARE(config.value(QLatin1String("availability_mode")).toString(), QStringLiteral("all"));
    QStringList availability;
    for (const QJsonValue &entry : config.value(QLatin1String("availability")).toArray())
        availability << entry.toObject().value(QLatin1String("topic")).toString();
    QCOMPARE(availability, (QStringList{QStringLiteral("dimra/bench/availability"), QStringLiteral("dimra/bridge/pc1/status")}));

    if (topic.contains(QLatin1String("/light/"))) {
        QCOMPARE(config.value(QLatin1String("schema")).toString(), QStringLiteral("json"));
        QCOMPARE(config.value(QLatin1String("brightness_scale")).toInt(), Dimra::kDutyMax);
        QCOMPARE(config.value(QLatin1String("supported_color_modes")).toArray(), QJsonArray{QStringLiteral("brightness")});
    } else {
        QCOMPARE(config.value(QLatin1String("min")).toInt(), Dimra::kFrequencyMin);
        QCOMPARE(config.value(QLatin1String("max")).toInt(), Dimra::kFrequencyMax);
        QCOMPARE(config.value(QLatin1String("value_template")).toString(), QStringLiteral("{{ value_json.frequency }}"));
        // What Home Assistant sends must be a set payload the bridge takes.
        QString rendered = config.value(QLatin1String("command_template")).toString();
        rendered.replace(QStringLiteral("{{ value | int }}"), QStringLiteral("2000"));
        QCOMPARE(describe(parseSetPayload(rendered.toUtf8())), QStringLiteral("frequency=2000"));
    }
}

void tst_BridgeMessages::boardIds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("valid");

    QTest::newRow("FTDI by-id name") << "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << "FTDI_FT232R_USB_UART_A50285BI" << true;
    QTest::newRow("CH340 by-id name") << "usb-1a86_USB_Serial-if00-port0" << "1a86_USB_Serial" << true;
    QTest::newRow("ACM by-id name") << "usb-Arduino_Uno_95530343-if00" << "Arduino_Uno_95530343" << true;
    QTest::newRow("device name") << "ttyUSB0" << "ttyUSB0" << true;
    QTest::newRow("spaces and signs") << "lab light #1+" << "lab_light__1_" << true;
    QTest::newRow("topic levels") << "a/b" << "a_b" << true;
    QTest::newRow("the bridges' own level") << "bridge" << "bridge" << false;
}

void tst_BridgeMessages::boardIds()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(bool, valid);
    QCOMPARE(tidyBoardId(name), id);
    QCOMPARE(isValidBoardId(tidyBoardId(name)), valid);
}

void tst_BridgeMessages::boardListsRoundTripAndDropWhatIsNoId()
{
    const QStringList ids{QStringLiteral("bench"), QStringLiteral("line-2")};
    QCOMPARE(parseBoardList(boardListJson(ids)), std::optional<QStringList>(ids));
    QCOMPARE(parseBoardList(R"(["bench","a/#",3,"bridge"])"), std::optional<QStringList>(QStringList{QStringLiteral("bench")}));
    QVERIFY(!parseBoardList("bench"));
    QVERIFY(!parseBoardList(QByteArray()));
}

QTEST_GUILESS_MAIN(tst_BridgeMessages)
#include "tst_bridgemessages.moc"
