#pragma once

#include "commandline.h"
#include "dimraprotocol.h"
#include "protocolnumbers.h"
#include "remoteaddress.h"

#include <QString>
#include <QStringList>
#include <optional>

// dimractl's command line: which command, which port, and the values to
// set, all checked before any port is opened. A value outside the board's
// range is refused, never clamped.

enum class CtlCommand { List, Get, Set, Off, Monitor, Session, Preset }; // the order of commandNamed's names

// What preset does with the user's presets file (presetfile.h): list, show,
// save and delete work on the file alone; apply sets a board, as set does.
enum class CtlPresetAction { List, Show, Save, Delete, Apply }; // the order of the words after preset

// How long a command waits for the board unless -t says otherwise.
inline constexpr int kCtlDefaultTimeoutMs = 1000;
inline constexpr int kCtlLongestTimeoutMs = 3600000;

// What off sends, from the command line or in a session: the three
// channels at the lowest duty, the frequency as it is.
inline constexpr BoardValues kCtlOffValues = {std::nullopt, Dimra::kDutyMin, Dimra::kDutyMin, Dimra::kDutyMin,
                                              std::nullopt};

struct CtlOptions
{
    CtlCommand command = CtlCommand::Get;
    QByteArray port = "COM1"; // COMn, a device path as the system takes it, byte for byte, or an mqtt:// address
    std::optional<RemoteAddress> broker; // list: the broker whose boards to list, instead of the ports
    int timeoutMs = kCtlDefaultTimeoutMs;
    bool json = false;
    bool verify = false;
    BoardValues values; // what set sends (off: the three channels at 0), or preset save saves
    CtlPresetAction presetAction = CtlPresetAction::List;
    QString presetName; // preset: the preset shown, saved, deleted or applied
    bool fromBoard = false; // preset save: the values the board on the port reports
};

using CtlParse = CliParse<CtlOptions>;

// Reads the arguments (program name first), as CommandLineArguments gives them.
CtlParse ParseCtlArguments(const QStringList &arguments);

// A value for the board given as text: a whole number within the range of
// the value with this code, or nothing, with error saying what is wrong.
std::optional<int> CtlValueInRange(int code, const QString &text, QString *error);

// What --help prints: commands, options and exit codes.
QString CtlHelpText();
