#include "bridgemessages.h"

#include "dimraprotocol.h"
#include "jsontext.h"
#include "printabletext.h"
#include "protocolnumbers.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

using namespace Dimra;

namespace {

// The payload as a JSON object, or why it is none.
std::optional<QJsonObject> jsonObject(const QByteArray &payload, QString *error)
{
    if (payload.size() > kMaxCommandPayload) {
        *error = DimraMqtt::tr("the payload has %1 bytes; a command has at most %2").arg(payload.size()).arg(kMaxCommandPayload);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = DimraMqtt::tr("the payload is not JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = DimraMqtt::tr("the payload is not a JSON object");
        return std::nullopt;
    }
    // Qt's reader keeps one of a key given twice: which value was meant
    // cannot be told, so nothing is taken. The fault quotes the payload: a
    // control character in it is shown escaped, as in every refusal.
    QList<JsonFault> faults;
    ReadJsonText(payload, &faults);
    if (!faults.isEmpty()) {
        *error = PrintableText(faults.first().text, false);
        return std::nullopt;
    }
    return document.object();
}

// A whole number within [min, max]; JSON has one kind of number, so 40.0
// is 40 and 40.5 is refused.
std::optional<int> wholeNumber(const QJsonValue &value, const QString &key, ValueRange range, QString *error)
{
    const double d = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::floor(d) != d) {
        *error = DimraMqtt::tr("%1 must be a whole number").arg(key);
        return std::nullopt;
    }
    if (d < range.min || d > range.max) {
        *error = DimraMqtt::tr("%1: %2 is outside %3 to %4").arg(key, value.toVariant().toString()).arg(range.min).arg(range.max);
        return std::nullopt;
    }
    return int(d);
}

// A name of letters, digits, '-' and '_', 1 to kMaxIdLength of them.
bool isTopicWord(const QString &word)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return word.size() <= kMaxIdLength && allowed.match(word).hasMatch();
}

// What isTopicWord takes, as a refusal says it.
QString idRule()
{
    return DimraMqtt::tr("1 to %1 letters, digits, - and _").arg(kMaxIdLength);
}

ParsedCommand refused(const QString &error)
{
    ParsedCommand command;
    command.error = error;
    return command;
}

// The object's "transition", in seconds as Home Assistant sends them (2,
// 0.5), into command; false with error set when it is none.
bool readTransition(const QJsonObject &object, ParsedCommand *command, QString *error)
{
    if (!object.contains(QLatin1String("transition")))
        return true;
    const QJsonValue transition = object.value(QLatin1String("transition"));
    const double seconds = transition.toDouble(-1);
    if (!transition.isDouble() || seconds < 0 || seconds > kMaxTransitionSeconds) {
        *error = DimraMqtt::tr("transition must be a number of seconds from 0 to %1").arg(kMaxTransitionSeconds);
        return false;
    }
    command->transitionMs = int(std::lround(seconds * 1000));
    return true;
}

// {"preset":"NAME"}, with an optional transition and nothing else.
ParsedCommand presetCommand(const QJsonObject &object)
{
    for (const QString &key : object.keys())
        if (key != QLatin1String("preset") && key != QLatin1String("transition"))
            return refused(DimraMqtt::tr("unknown key \"%1\" beside \"preset\"; a preset takes only a transition with it")
                               .arg(PrintableText(key, false)));
    ParsedCommand command;
    command.preset = object.value(QLatin1String("preset")).toString();
    if (command.preset.isEmpty())
        return refused(DimraMqtt::tr("preset must be a preset's name in quotes"));
    QString error;
    if (!readTransition(object, &command, &error))
        return refused(error);
    return command;
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

ParsedCommand parseSetPayload(const QByteArray &payload)
{
    QString error;
    const std::optional<QJsonObject> object = jsonObject(payload, &error);
    if (!object)
        return refused(error);
    if (object->isEmpty())
        return refused(DimraMqtt::tr("nothing to set; the keys are frequency, ch1, ch2 and ch3"));
    if (object->contains(QLatin1String("preset")))
        return presetCommand(*object);
    ParsedCommand command;
    for (auto it = object->begin(); it != object->end(); ++it) {
        int code = 0;
        for (int c : CDimraProtocol::kValueCodes)
            if (it.key() == CDimraProtocol::ValueKey(c))
                code = c;
        if (code == 0)
            return refused(DimraMqtt::tr("unknown key \"%1\"; the keys are frequency, ch1, ch2 and ch3, or preset")
                               .arg(PrintableText(it.key(), false)));
        command.values[code] = wholeNumber(it.value(), it.key(), CDimraProtocol::RangeOf(code), &error);
        if (!command.values[code])
            return refused(error);
    }
    return command;
}

ParsedCommand parseLightCommand(const QByteArray &payload, int channel, int lastOn)
{
    QString error;
    const std::optional<QJsonObject> object = jsonObject(payload, &error);
    if (!object)
        return refused(error);
    for (const QString &key : object->keys())
        if (key != QLatin1String("state") && key != QLatin1String("brightness") && key != QLatin1String("transition"))
            return refused(DimraMqtt::tr("unknown key \"%1\"; a light takes state, brightness and transition")
                               .arg(PrintableText(key, false)));
    std::optional<int> brightness;
    if (object->contains(QLatin1String("brightness"))) {
        brightness = wholeNumber(object->value(QLatin1String("brightness")), QStringLiteral("brightness"), kDutyRange,
                                 &error);
        if (!brightness)
            return refused(error);
    }
    ParsedCommand command;
    if (!readTransition(*object, &command, &error))
        return refused(error);
    const QJsonValue state = object->value(QLatin1String("state"));
    if (state.isUndefined()) {
        if (!brightness)
            return refused(DimraMqtt::tr("nothing to set; a light takes state, brightness and transition"));
        command.values[channel] = brightness;
    } else if (state == QLatin1String("ON")) {
        command.values[channel] = brightness ? *brightness : (lastOn > kDutyMin ? lastOn : kDutyMax);
    } else if (state == QLatin1String("OFF")) {
        command.values[channel] = kDutyMin;
    } else {
        return refused(DimraMqtt::tr("state must be \"ON\" or \"OFF\""));
    }
    return command;
}

QByteArray stateJson(const BoardState &state)
{
    auto value = [&](int code) {
        const std::optional<int> v = state.values[code];
        return v ? QString::number(*v) : QStringLiteral("null");
    };
    // Written by hand: the keys in the order people read them.
    return QStringLiteral("{\"linked\":%1,\"frequency\":%2,\"ch1\":%3,\"ch2\":%4,\"ch3\":%5}")
        .arg(state.linked ? QStringLiteral("true") : QStringLiteral("false"), value(CDimraProtocol::CmdFrequency),
             value(CDimraProtocol::CmdChannel1), value(CDimraProtocol::CmdChannel2), value(CDimraProtocol::CmdChannel3))
        .toUtf8();
}

BoardValues parseStateValues(const QByteArray &payload)
{
    BoardValues values;
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    QString error;
    for (int code : CDimraProtocol::kValueCodes) {
        const QString key = CDimraProtocol::ValueKey(code);
        if (object.contains(key))
            values[code] = wholeNumber(object.value(key), key, CDimraProtocol::RangeOf(code), &error);
    }
    return values;
}

BoardState parseState(const QByteArray &payload)
{
    BoardState state;
    state.linked = QJsonDocument::fromJson(payload).object().value(QLatin1String("linked")).toBool();
    state.values = parseStateValues(payload);
    return state;
}

QByteArray setJson(const BoardValues &values)
{
    QStringList pairs;
    for (int code : CDimraProtocol::kValueCodes)
        if (values[code])
            pairs.append(QStringLiteral("\"%1\":%2").arg(CDimraProtocol::ValueKey(code)).arg(*values[code]));
    return QStringLiteral("{%1}").arg(pairs.join(QLatin1Char(','))).toUtf8();
}

QByteArray presetStateJson(const QString &preset)
{
    return compact(QJsonObject{{QStringLiteral("preset"), preset.isEmpty() ? QJsonValue() : QJsonValue(preset)}});
}

QByteArray lightStateJson(std::optional<int> duty)
{
    if (!duty)
        return R"({"state":null,"brightness":null})";
    return QStringLiteral("{\"state\":\"%1\",\"brightness\":%2}")
        .arg(*duty > kDutyMin ? QStringLiteral("ON") : QStringLiteral("OFF"))
        .arg(*duty)
        .toUtf8();
}

QString boardTopic(const QString &id, const QString &leaf)
{
    return leaf.isEmpty() ? QStringLiteral("dimra/%1").arg(id) : QStringLiteral("dimra/%1/%2").arg(id, leaf);
}

QString bridgeTopic(const QString &bridgeId, const QString &leaf)
{
    return QStringLiteral("dimra/bridge/%1/%2").arg(bridgeId, leaf);
}

QString bridgeOfTopic(const QString &topic, const char *leaf)
{
    const QStringList levels = topic.split(QLatin1Char('/'));
    if (levels.size() != 4 || levels[0] != QLatin1String("dimra") || levels[1] != QLatin1String("bridge")
        || levels[3] != QLatin1String(leaf))
        return QString();
    return levels[2];
}

bool isValidBoardId(const QString &id)
{
    return isTopicWord(id) && id != QLatin1String("bridge");
}

bool isValidBridgeId(const QString &id)
{
    return isTopicWord(id);
}

std::optional<QString> boardIdProblem(const QString &id)
{
    if (id.isEmpty())
        return DimraMqtt::tr("names no id");
    if (isValidBoardId(id))
        return std::nullopt;
    return DimraMqtt::tr("\"%1\" cannot be a board id: %2, and not \"bridge\"")
        .arg(id.left(kMaxIdLength * 2), idRule());
}

std::optional<QString> bridgeIdProblem(const QString &id)
{
    if (isValidBridgeId(id))
        return std::nullopt;
    return DimraMqtt::tr("\"%1\" cannot be a bridge id: %2").arg(id.left(kMaxIdLength * 2), idRule());
}

bool isValidTopicPrefix(const QString &prefix)
{
    if (prefix.size() > kMaxIdLength)
        return false;
    const QStringList words = prefix.split(QLatin1Char('/'));
    return std::all_of(words.begin(), words.end(), isTopicWord);
}

QString tidyBoardId(const QString &name)
{
    static const QRegularExpression usbPrefix(QStringLiteral("^usb-"));
    static const QRegularExpression interfaceSuffix(QStringLiteral("-if[0-9]+(-port[0-9]+)?$"));
    static const QRegularExpression notAllowed(QStringLiteral("[^A-Za-z0-9_-]"));
    QString id = name;
    id.remove(usbPrefix).remove(interfaceSuffix).replace(notAllowed, QStringLiteral("_"));
    return id;
}

QString defaultBridgeId(const QString &host, const QString &instance)
{
    static const QRegularExpression notAllowed(QStringLiteral("[^A-Za-z0-9_-]"));
    // Eight hex digits tell the bridges of one host apart; the host's name,
    // cut to leave room for them, says whose they are.
    const QByteArray digest = QCryptographicHash::hash(instance.toUtf8(), QCryptographicHash::Sha256).toHex().left(8);
    QString name = QString(host).replace(notAllowed, QStringLiteral("_")).left(kMaxIdLength - 9);
    if (name.isEmpty())
        name = QStringLiteral("localhost");
    return name + QLatin1Char('-') + QString::fromLatin1(digest);
}

QList<RetainedMessage> discoveryConfigs(const DiscoveryBoard &board)
{
    const QString node = QStringLiteral("dimra_%1").arg(board.id);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), board.name},
        {QStringLiteral("manufacturer"), QStringLiteral("Dimra")},
        {QStringLiteral("model"), QStringLiteral("three-channel PWM LED dimmer")},
    };
    const QJsonObject origin{
        {QStringLiteral("name"), QStringLiteral("dimra-mqtt")},
        {QStringLiteral("sw_version"), board.version},
        {QStringLiteral("support_url"), board.supportUrl},
    };
    // Available only while both say online: the board's own topic stays
    // online when the bridge dies, the bridge's last will does not.
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"), boardTopic(board.id, QStringLiteral("availability"))}},
        QJsonObject{{QStringLiteral("topic"), board.bridgeStatusTopic}},
    };
    auto entity = [&](const QString &domain, const QString &object, const QString &name) {
        return QJsonObject{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), QStringLiteral("%1_%2").arg(node, object)},
            // An entity id has lower-case letters, digits and '_' only.
            {QStringLiteral("default_entity_id"),
             QStringLiteral("%1.%2_%3").arg(domain, node, object).toLower().replace(QLatin1Char('-'), QLatin1Char('_'))},
            {QStringLiteral("availability"), availability},
            {QStringLiteral("availability_mode"), QStringLiteral("all")},
            {QStringLiteral("device"), device},
            {QStringLiteral("origin"), origin},
        };
    };

    QList<RetainedMessage> configs;
    for (int code = CDimraProtocol::CmdChannel1; code <= CDimraProtocol::CmdChannel3; ++code) {
        const QString channel = CDimraProtocol::ValueKey(code);
        QJsonObject light = entity(QStringLiteral("light"), channel, DimraMqtt::tr("Channel %1").arg(code));
        light.insert(QStringLiteral("schema"), QStringLiteral("json"));
        light.insert(QStringLiteral("state_topic"), boardTopic(board.id, channel));
        light.insert(QStringLiteral("command_topic"), boardTopic(board.id, channel + QStringLiteral("/set")));
        light.insert(QStringLiteral("brightness"), true);
        light.insert(QStringLiteral("brightness_scale"), kDutyMax);
        light.insert(QStringLiteral("supported_color_modes"), QJsonArray{QStringLiteral("brightness")});
        // Fades, yes; the board has no blinking of its own.
        light.insert(QStringLiteral("transition"), true);
        light.insert(QStringLiteral("flash"), false);
        configs.append({QStringLiteral("%1/light/%2/%3/config").arg(board.prefix, node, channel), compact(light)});
    }
    QJsonObject frequency = entity(QStringLiteral("number"), QStringLiteral("frequency"), DimraMqtt::tr("PWM frequency"));
    frequency.insert(QStringLiteral("state_topic"), boardTopic(board.id, QStringLiteral("state")));
    frequency.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.frequency }}"));
    frequency.insert(QStringLiteral("command_topic"), boardTopic(board.id, QStringLiteral("set")));
    frequency.insert(QStringLiteral("command_template"), QStringLiteral("{\"frequency\": {{ value | int }}}"));
    frequency.insert(QStringLiteral("min"), kFrequencyMin);
    frequency.insert(QStringLiteral("max"), kFrequencyMax);
    frequency.insert(QStringLiteral("step"), 1);
    frequency.insert(QStringLiteral("mode"), QStringLiteral("box"));
    frequency.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("Hz"));
    frequency.insert(QStringLiteral("device_class"), QStringLiteral("frequency"));
    configs.append({QStringLiteral("%1/number/%2/frequency/config").arg(board.prefix, node), compact(frequency)});
    if (!board.presets)
        return configs;
    QJsonObject presets = entity(QStringLiteral("select"), QStringLiteral("preset"), DimraMqtt::tr("Preset"));
    presets.insert(QStringLiteral("options"), QJsonArray::fromStringList(*board.presets));
    presets.insert(QStringLiteral("command_topic"), boardTopic(board.id, QStringLiteral("set")));
    // The name as a JSON string, whatever its characters.
    presets.insert(QStringLiteral("command_template"), QStringLiteral("{\"preset\": {{ value | to_json }}}"));
    presets.insert(QStringLiteral("state_topic"), boardTopic(board.id, QStringLiteral("preset")));
    // null comes out as None, which Home Assistant shows as unknown.
    presets.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.preset }}"));
    configs.append({QStringLiteral("%1/select/%2/preset/config").arg(board.prefix, node), compact(presets)});
    return configs;
}

QStringList discoveryTopics(const QString &prefix, const QString &id)
{
    QStringList topics;
    for (const RetainedMessage &config :
         discoveryConfigs({prefix, id, QString(), QString(), QString(), QString(), QStringList()}))
        topics.append(config.topic);
    return topics;
}

std::optional<QStringList> parseBoardList(const QByteArray &payload)
{
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    if (!document.isArray() || document.array().size() > kMaxBoards)
        return std::nullopt;
    QStringList ids;
    for (const QJsonValue &value : document.array())
        if (value.isString() && isValidBoardId(value.toString()))
            ids.append(value.toString());
    return ids;
}

QByteArray boardListJson(const QStringList &ids)
{
    return QJsonDocument(QJsonArray::fromStringList(ids)).toJson(QJsonDocument::Compact);
}
