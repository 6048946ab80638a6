#pragma once

#include "dimraprotocol.h"
#include "protocolnumbers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

// What dimra-mqtt says and understands on the broker, as pure functions: the
// topics of a board, the commands it takes (parsed and checked whole before
// anything reaches a line) and the payloads it publishes: state, the lights'
// state and the Home Assistant discovery configs.
//
// Under dimra/<id>/:
//   state           retained {"linked":true,"frequency":1000,"ch1":40,"ch2":0,"ch3":0}
//   set             {"frequency":2000,"ch2":40}: any of the four keys
//   chN, chN/set    one channel as a Home Assistant JSON light
//   availability    retained online / offline
//   error           why a command was refused
// and dimra/bridge/<host>/status, the bridge's own online / offline (its
// last will), and dimra/bridge/<host>/boards, the ids it serves (retained),
// so that a later run can take away what a board taken out left behind.

// The largest payload a command may have; anything longer is refused unread.
inline constexpr int kMaxCommandPayload = 1024;

// A command read from a payload: the values to send, or why none is sent.
struct ParsedCommand
{
    BoardValues values; // the values to send; empty where the command names none
    QString error; // empty when the command is good
    bool ok() const { return error.isEmpty(); }
};

// The board's values as the host knows them, as the window shows them.
struct BoardState
{
    bool linked = false;
    // By command code; before the board reports, the window's own values.
    std::array<int, Dimra::kCommandCount> values{0, 0, 0, 0, Dimra::kFrequencyMin};
};


// A set payload: a JSON object with any of frequency, ch1, ch2, ch3, each a
// whole number in its range. Anything else refuses the whole payload.
ParsedCommand parseSetPayload(const QByteArray &payload);

// A Home Assistant JSON light command for channel 1-3: {"state":"ON"},
// {"state":"ON","brightness":40}, {"state":"OFF"} or {"brightness":40}.
// ON without a brightness goes back to lastOn (the channel's last duty above
// 0, or 100 when there was none); OFF is 0.
ParsedCommand parseLightCommand(const QByteArray &payload, int channel, int lastOn);

QByteArray stateJson(const BoardState &state);
QByteArray lightStateJson(int duty);

// The topic of a board: dimra/<id>/<leaf>, or dimra/<id> for an empty leaf.
QString boardTopic(const QString &id, const QString &leaf);
QString bridgeTopic(const QString &host, const QString &leaf);

// A board id is used in topics and in Home Assistant's ids: letters, digits,
// '-' and '_', and not "bridge", which names the bridges' own topics.
bool isValidBoardId(const QString &id);

// A name made fit to be a board id: "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
// becomes "FTDI_FT232R_USB_UART_A50285BI", any other character than those
// allowed becomes '_'.
QString tidyBoardId(const QString &name);

// A host name made fit for a topic level and an id.
QString tidyHostName(const QString &host);

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
    QString version;
};

// The configs that make one board a device in Home Assistant: three lights
// and a number for the frequency, available while both the board and the
// bridge are.
QList<RetainedMessage> discoveryConfigs(const DiscoveryBoard &board);
// The topics of those configs, to empty them for a board taken out.
QStringList discoveryTopics(const QString &prefix, const QString &id);

// The ids of a boards list, or nothing when the payload is not one.
std::optional<QStringList> parseBoardList(const QByteArray &payload);
QByteArray boardListJson(const QStringList &ids);
