#pragma once

#include "dimraprotocol.h"
#include "protocolnumbers.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// What dimra-mqtt says and understands on the broker, as pure functions: the
// topics of a board, the commands it takes (parsed and checked whole before
// anything reaches a line) and the payloads it publishes: state, the lights'
// state and the Home Assistant discovery configs.
//
// Under dimra/<id>/:
//   state           retained {"linked":true,"frequency":1000,"ch1":40,"ch2":0,"ch3":0},
//                   null for a value not known
//   set             {"frequency":2000,"ch2":40}: any of the four keys; or
//                   {"preset":"Part A"}, a preset of the bridge's presets
//                   file, with an optional "transition" as a light's
//   preset          retained {"preset":"Part A"}, the preset last applied,
//                   null once a value has moved since
//   get             an empty message: the board is asked to report, and its
//                   state is published once it has, changed or not
//   chN, chN/set    one channel as a Home Assistant JSON light
//   availability    retained online / offline
//   error           why a command was refused
// and under dimra/bridge/<bridge id>/, one identity for each running bridge:
//   status          retained online / offline, its last will offline
//   boards          retained ["bench",...], the boards it serves: what a
//                   later run of it may empty, and what other bridges leave alone
//   ping            a bridge that wants to know whether this one is alive
//                   publishes here; it answers with its status
//   sync            its own marker, back when the broker has sent all that
//                   it keeps for the subscriptions before it

// The bridge's texts are written in English and told in the run's language.
struct DimraMqtt
{
    Q_DECLARE_TR_FUNCTIONS(DimraMqtt)
};

// The largest payload a command may have; anything longer is refused unread.
inline constexpr int kMaxCommandPayload = 1024;
// The most boards one bridge serves; a longer boards list is none a bridge
// wrote, and is not acted on.
inline constexpr int kMaxBoards = 256;
// Board ids and bridge ids are at most this long, and so is the discovery prefix.
inline constexpr int kMaxIdLength = 64;
// The longest transition a light takes, in seconds: Home Assistant's own limit.
inline constexpr int kMaxTransitionSeconds = 6553;

// A command read from a payload: the values to send, or why none is sent.
struct ParsedCommand
{
    BoardValues values; // the values to send; empty where the command names none
    int transitionMs = 0; // a light fades to its value over this time; 0: at once
    QString preset; // a preset to apply, by name, instead of values; empty for values
    QString error; // empty when the command is good
    bool ok() const { return error.isEmpty(); }
};

// The board's values as the host knows them: what it reported, or what
// left for its line since it linked; empty where neither is known.
struct BoardState
{
    bool linked = false;
    BoardValues values; // by command code
};


// A set payload: a JSON object with any of frequency, ch1, ch2, ch3, each a
// whole number in its range; or one with "preset", a name in quotes, and
// an optional "transition" as parseLightCommand takes it. Anything else
// refuses the whole payload.
ParsedCommand parseSetPayload(const QByteArray &payload);

// A Home Assistant JSON light command for channel 1-3: {"state":"ON"},
// {"state":"ON","brightness":40}, {"state":"OFF"} or {"brightness":40}, each
// with an optional "transition" in seconds (0 to kMaxTransitionSeconds).
// ON without a brightness goes back to lastOn (the channel's last duty above
// 0, or 100 when there was none); OFF is 0.
ParsedCommand parseLightCommand(const QByteArray &payload, int channel, int lastOn);

QByteArray stateJson(const BoardState &state);
// The values of a state payload that are in range; the rest stay empty.
BoardValues parseStateValues(const QByteArray &payload);
// A state payload whole: linked only where it says so, and its values.
BoardState parseState(const QByteArray &payload);
// The set payload that sends the values given, frequency first.
QByteArray setJson(const BoardValues &values);
// The preset a board holds: {"preset":"Part A"}, or {"preset":null} for
// none, which Home Assistant's select shows as unknown.
QByteArray presetStateJson(const QString &preset);
// A light's state; a duty not known is {"state":null,"brightness":null},
// which Home Assistant shows as unknown.
QByteArray lightStateJson(std::optional<int> duty);

// The topic of a board: dimra/<id>/<leaf>, or dimra/<id> for an empty leaf.
QString boardTopic(const QString &id, const QString &leaf);
QString bridgeTopic(const QString &bridgeId, const QString &leaf);
// The bridge id of dimra/bridge/<id>/<leaf>, or nothing for another topic.
QString bridgeOfTopic(const QString &topic, const char *leaf);

// A board id is used in topics and in Home Assistant's ids: letters, digits,
// '-' and '_', 1 to kMaxIdLength of them, and not "bridge", which names the
// bridges' own topics.
bool isValidBoardId(const QString &id);
// A bridge id: letters, digits, '-' and '_', 1 to kMaxIdLength of them.
bool isValidBridgeId(const QString &id);
// Why id cannot be a board id, or a bridge id, for a refusal that names
// where it was given; nothing when it can.
std::optional<QString> boardIdProblem(const QString &id);
std::optional<QString> bridgeIdProblem(const QString &id);
// The discovery prefix: words of those characters with '/' between them,
// 1 to kMaxIdLength characters in all.
bool isValidTopicPrefix(const QString &prefix);

// A name made fit to be a board id: "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
// becomes "FTDI_FT232R_USB_UART_A50285BI", any other character than those
// allowed becomes '_'.
QString tidyBoardId(const QString &name);

// The bridge id a bridge has when none is configured: the host's name and
// a digest of what tells this bridge from others on the host (the
// configuration file, or the board it serves), so that two bridges on one
// host differ and the same bridge run again is the same.
QString defaultBridgeId(const QString &host, const QString &instance);

struct RetainedMessage
{
    QString topic;
    QByteArray payload;
    bool operator==(const RetainedMessage &other) const
    {
        return topic == other.topic && payload == other.payload;
    }
};

// What discovery needs to know of one board.
struct DiscoveryBoard
{
    QString prefix; // homeassistant
    QString id;
    QString name;   // the device's name in Home Assistant
    QString bridgeStatusTopic;
    QString version;    // the bridge's, for the origin
    QString supportUrl; // the project's address, for the origin
    // The names of the presets, in the file's order; none when the bridge
    // reads no presets file.
    std::optional<QStringList> presets;
};

// The configs that make one board a device in Home Assistant: three lights,
// a number for the frequency and, with presets, a select "Preset" that
// applies one; available while both the board and the bridge are, each
// naming the bridge as its origin.
QList<RetainedMessage> discoveryConfigs(const DiscoveryBoard &board);
// The topics of every config a board may have, to empty those it has not
// and all of them for a board taken out.
QStringList discoveryTopics(const QString &prefix, const QString &id);

// The ids of a boards list, or nothing when the payload is not one or has
// more than kMaxBoards entries.
std::optional<QStringList> parseBoardList(const QByteArray &payload);
QByteArray boardListJson(const QStringList &ids);
