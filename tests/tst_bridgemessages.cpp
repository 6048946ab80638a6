#include "bridgemessages.h"

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
    void stateCarriesOnlyWhatIsKnown();
    void discoveryConfigsCarryWhatHomeAssistantRequires_data();
    void discoveryConfigsCarryWhatHomeAssistantRequires();
    void theNumberAndTheLightsSendWhatTheBridgeTakes();
    void boardIds_data();
    void boardIds();
    void boardListsRoundTripAndDropWhatIsNoId();
    void theDefaultBridgeIdTellsBridgesApartAndStaysTheSame();
};

namespace {

QString describe(const BoardValues &values)
{
    QStringList parts;
    for (int code = 1; code <= 4; ++code)
        if (values[code])
            parts << QStringLiteral("%1=%2").arg(CDimraProtocol::ValueKey(code)).arg(*values[code]);
    return parts.join(QLatin1Char(' '));
}

// The values of a command as one line, or "refused".
QString describe(const ParsedCommand &command)
{
    if (!command.ok())
        return QStringLiteral("refused");
    return (command.preset.isEmpty() ? describe(command.values) : QStringLiteral("preset ") + command.preset)
        + (command.transitionMs > 0 ? QStringLiteral(" over %1 ms").arg(command.transitionMs) : QString());
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
    QTest::newRow("40.0 is whole") << QByteArray(R"({"ch2":40.0})") << "ch2=40" << "";
    QTest::newRow("frequency above range") << QByteArray(R"({"frequency":150001})") << "refused" << "150001";
    QTest::newRow("duty 101 refuses the good frequency too") << QByteArray(R"({"frequency":2000,"ch1":101})")
                                                             << "refused" << "ch1";
    QTest::newRow("negative duty") << QByteArray(R"({"ch3":-1})") << "refused" << "ch3";
    QTest::newRow("fraction") << QByteArray(R"({"ch1":40.5})") << "refused" << "whole";
    QTest::newRow("a key given twice") << QByteArray(R"({"ch1":200,"ch1":5})") << "refused" << "\"ch1\" is given twice";
    QTest::newRow("a preset, fading") << QByteArray(R"({"preset":"暗场","transition":1.5})") << "preset 暗场 over 1500 ms" << "";
    QTest::newRow("a value beside a preset") << QByteArray(R"({"preset":"A","ch1":5})") << "refused" << "\"ch1\" beside \"preset\"";
    QTest::newRow("a preset named twice") << QByteArray(R"({"preset":"A","preset":"B"})") << "refused" << "\"preset\" is given twice";
    QTest::newRow("unknown key beside good ones") << QByteArray(R"({"ch1":10,"ch4":10})") << "refused" << "ch4";
    QTest::newRow("a key with an escape given twice") << QByteArray(R"({"\u001b[2J":1,"\u001b[2J":2})") << "refused"
                                                      << "\"\\x1b[2J\" is given twice";
    QTest::newRow("unknown key with an escape") << QByteArray(R"({"\u001b[2J":1})") << "refused" << "\"\\x1b[2J\"";
    QTest::newRow("a light's command, only unknown keys") << QByteArray(R"({"state":"ON","brightness":40})") << "refused"
                                                          << "unknown key \"brightness\"";
    // Qt's reader takes c\h1 for ch1.
    QTest::newRow("an escape JSON does not know") << QByteArray(R"({"c\h1":40})") << "refused" << "\\h is not a JSON escape";
    QTest::newRow("a preset named by a number") << QByteArray(R"({"preset":5})") << "refused" << "in quotes";
    QTest::newRow("a preset with a negative transition") << QByteArray(R"({"preset":"A","transition":-1})") << "refused"
                                                         << "transition";
    QTest::newRow("empty object") << QByteArray("{}") << "refused" << "nothing";
    QTest::newRow("array") << QByteArray("[40]") << "refused" << "object";
    QTest::newRow("not JSON") << QByteArray("ch1=40") << "refused" << "JSON";
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
    QTest::newRow("off wins over a brightness") << QByteArray(R"({"state":"OFF","brightness":40})") << 70 << "ch2=0";
    QTest::newRow("brightness alone") << QByteArray(R"({"brightness":30})") << 70 << "ch2=30";
    QTest::newRow("state in lower case") << QByteArray(R"({"state":"on"})") << 70 << "refused";
    QTest::newRow("brightness on the 255 scale") << QByteArray(R"({"state":"ON","brightness":255})") << 70 << "refused";
    // Home Assistant's fades, in seconds.
    QTest::newRow("a fade on") << QByteArray(R"({"state":"ON","brightness":40,"transition":2})") << 70 << "ch2=40 over 2000 ms";
    QTest::newRow("a fade off in half a second") << QByteArray(R"({"state":"OFF","transition":0.5})") << 70 << "ch2=0 over 500 ms";
    QTest::newRow("a transition past Home Assistant's limit") << QByteArray(R"({"state":"ON","transition":6554})") << 70 << "refused";
    QTest::newRow("a transition as text") << QByteArray(R"({"state":"ON","transition":"2"})") << 70 << "refused";
    QTest::newRow("a flash it cannot do") << QByteArray(R"({"state":"ON","flash":2})") << 70 << "refused";
    // Read strictly, as a set payload is: Qt's reader would take either for "ON".
    QTest::newRow("state given twice") << QByteArray(R"({"state":"OFF","state":"ON"})") << 70 << "refused";
    QTest::newRow("state with an escape JSON does not know") << QByteArray(R"({"state":"O\N"})") << 70 << "refused";
}

void tst_BridgeMessages::lightCommand()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, lastOn);
    QFETCH(QString, expected);
    QCOMPARE(describe(parseLightCommand(payload, 2, lastOn)), expected);
}

void tst_BridgeMessages::stateCarriesOnlyWhatIsKnown()
{
    // Unknown is null, which Home Assistant shows as unknown, not as 0 %.
    BoardState state;
    QCOMPARE(stateJson(state), R"({"linked":false,"frequency":null,"ch1":null,"ch2":null,"ch3":null})");
    QCOMPARE(lightStateJson(std::nullopt), R"({"state":null,"brightness":null})");
    state.linked = true;
    state.values[CDimraProtocol::CmdChannel2] = 40;
    state.values[CDimraProtocol::CmdFrequency] = 2000;
    QCOMPARE(stateJson(state), R"({"linked":true,"frequency":2000,"ch1":null,"ch2":40,"ch3":null})");
    // Remembered for restore: what is known and in range, nothing else.
    QCOMPARE(parseStateValues(stateJson(state)), state.values);
    QCOMPARE(describe(parseStateValues(R"({"ch1":101,"ch2":5,"ch3":"7","frequency":null})")), QStringLiteral("ch2=5"));
}

void tst_BridgeMessages::discoveryConfigsCarryWhatHomeAssistantRequires_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // the value as compact JSON

    const QString light = QStringLiteral("ha/light/dimra_bench/ch2/config");
    const QString number = QStringLiteral("ha/number/dimra_bench/frequency/config");
    auto row = [](const QString &topic, const char *key, const char *value) {
        QTest::addRow("%s %s", qPrintable(topic.section(QLatin1Char('/'), 1, 1)), key) << topic << key << value;
    };
    row(light, "schema", R"("json")");
    row(light, "command_topic", R"("dimra/bench/ch2/set")");
    row(light, "state_topic", R"("dimra/bench/ch2")");
    row(light, "unique_id", R"("dimra_bench_ch2")");
    // Unavailable when either the board or the bridge is offline.
    row(light, "availability", R"([{"topic":"dimra/bench/availability"},{"topic":"dimra/bridge/pc1/status"}])");
    row(light, "availability_mode", R"("all")");
    row(light, "default_entity_id", R"("light.dimra_bench_ch2")");
    row(light, "object_id", "null"); // deprecated by Home Assistant, ignored from 2026.4
    row(light, "transition", "true");
    row(light, "flash", "false");
    row(light, "origin", R"({"name":"dimra-mqtt","support_url":"https://dimra.example.org/","sw_version":"1.0"})");
    row(number, "default_entity_id", R"("number.dimra_bench_frequency")");
    row(number, "command_topic", R"("dimra/bench/set")");
    row(number, "state_topic", R"("dimra/bench/state")");
    row(number, "value_template", R"("{{ value_json.frequency }}")");
    // The presets file's names, in its order; the board's set topic takes the
    // option as a JSON string, and its preset topic says which one it holds.
    const QString select = QStringLiteral("ha/select/dimra_bench/preset/config");
    row(select, "options", R"(["B","A"])");
    row(select, "command_topic", R"("dimra/bench/set")");
    row(select, "command_template", R"("{\"preset\": {{ value | to_json }}}")");
    row(select, "state_topic", R"("dimra/bench/preset")");
    row(select, "value_template", R"("{{ value_json.preset }}")");
    row(select, "default_entity_id", R"("select.dimra_bench_preset")");
}

void tst_BridgeMessages::discoveryConfigsCarryWhatHomeAssistantRequires()
{
    QFETCH(QString, topic);
    QFETCH(QString, key);
    QFETCH(QString, value);
    // The select only with a presets file.
    const bool presets = topic.contains(QLatin1String("/select/"));
    const QList<RetainedMessage> configs = discoveryConfigs({QStringLiteral("ha"), QStringLiteral("bench"),
                                                             QStringLiteral("Dimra bench"),
                                                             QStringLiteral("dimra/bridge/pc1/status"), QStringLiteral("1.0"),
                                                             QStringLiteral("https://dimra.example.org/"),
                                                             presets ? std::optional(QStringList{"B", "A"}) : std::nullopt});
    QCOMPARE(configs.size(), presets ? 5 : 4);
    QCOMPARE(discoveryTopics(QStringLiteral("ha"), QStringLiteral("bench")).size(), 5);
    const auto config = std::find_if(configs.begin(), configs.end(), [&](const RetainedMessage &m) { return m.topic == topic; });
    QVERIFY(config != configs.end());
    const QJsonValue found = QJsonDocument::fromJson(config->payload).object().value(key);
    QCOMPARE(QJsonDocument(QJsonArray{found}).toJson(QJsonDocument::Compact), "[" + value.toUtf8() + "]");
}

void tst_BridgeMessages::theNumberAndTheLightsSendWhatTheBridgeTakes()
{
    // Home Assistant sends anything within the range a config gives, in its form.
    const QList<RetainedMessage> configs = discoveryConfigs({QStringLiteral("ha"), QStringLiteral("b"), QString(), QString(), QString(), QString()});
    const QJsonObject number = QJsonDocument::fromJson(configs.constLast().payload).object();
    for (const char *end : {"min", "max"}) {
        const int frequency = number.value(QLatin1String(end)).toInt(-1);
        QString rendered = number.value(QLatin1String("command_template")).toString();
        rendered.replace(QStringLiteral("{{ value | int }}"), QString::number(frequency));
        QCOMPARE(describe(parseSetPayload(rendered.toUtf8())), QStringLiteral("frequency=%1").arg(frequency));
    }
    const QJsonObject light = QJsonDocument::fromJson(configs.constFirst().payload).object();
    QCOMPARE(light.value(QLatin1String("brightness_scale")).toInt(), Dimra::kDutyMax);
}

void tst_BridgeMessages::boardIds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("valid");

    QTest::newRow("FTDI by-id name") << "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << "FTDI_FT232R_USB_UART_A50285BI" << true;
    QTest::newRow("ACM by-id name") << "usb-Arduino_Uno_95530343-if00" << "Arduino_Uno_95530343" << true;
    QTest::newRow("spaces, signs and topic levels") << "lab/light #1+" << "lab_light__1_" << true;
    QTest::newRow("the bridges' own level") << "bridge" << "bridge" << false;
    QTest::newRow("64 characters") << QString(64, QLatin1Char('a')) << QString(64, QLatin1Char('a')) << true;
    QTest::newRow("65 characters") << QString(65, QLatin1Char('a')) << QString(65, QLatin1Char('a')) << false;
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
    // No bridge serves more: such a list is not acted on.
    QVERIFY(!parseBoardList(boardListJson(QStringList(kMaxBoards + 1, QStringLiteral("b")))));
}

void tst_BridgeMessages::theDefaultBridgeIdTellsBridgesApartAndStaysTheSame()
{
    const QString service = defaultBridgeId(QStringLiteral("lab.pc"), QStringLiteral("file /etc/dimra/mqtt.conf"));
    QCOMPARE(defaultBridgeId(QStringLiteral("lab.pc"), QStringLiteral("file /etc/dimra/mqtt.conf")), service);
    QVERIFY(service != defaultBridgeId(QStringLiteral("lab.pc"), QStringLiteral("board bench")));
    QVERIFY2(service.startsWith(QLatin1String("lab_pc-")) && isValidBridgeId(service), qPrintable(service));
    QVERIFY(isValidBridgeId(defaultBridgeId(QString(300, QLatin1Char('h')), QStringLiteral("board bench"))));
}

QTEST_GUILESS_MAIN(tst_BridgeMessages)
#include "tst_bridgemessages.moc"
