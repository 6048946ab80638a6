#include "ctloptions.h"

#include "commport.h"
#include "ctlexit.h"
#include "dimraprotocol.h"
#include "protocolnumbers.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>

using namespace Dimra;

namespace {

// The command line's messages and help are written in English and told in
// the run's language.
struct CtlCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CtlCommandLine)
};

struct ValueOption
{
    const char *name;
    int code;
    const char *unit;
};

const ValueOption kValueOptions[] = {
    {"freq", CDimraProtocol::CmdFrequency, "Hz"},
    {"ch1", CDimraProtocol::CmdChannel1, "%"},
    {"ch2", CDimraProtocol::CmdChannel2, "%"},
    {"ch3", CDimraProtocol::CmdChannel3, "%"},
};

std::optional<CtlCommand> commandNamed(const QString &name)
{
    // In the order of CtlCommand.
    static const QStringList names = {QStringLiteral("list"), QStringLiteral("get"), QStringLiteral("set"),
                                      QStringLiteral("off"), QStringLiteral("monitor"), QStringLiteral("session"),
                                      QStringLiteral("preset")};
    const qsizetype index = names.indexOf(name);
    return index < 0 ? std::nullopt : std::optional<CtlCommand>(CtlCommand(index));
}

std::optional<CtlPresetAction> presetActionNamed(const QString &name)
{
    // In the order of CtlPresetAction.
    static const QStringList names = {QStringLiteral("list"), QStringLiteral("show"), QStringLiteral("save"),
                                      QStringLiteral("delete"), QStringLiteral("apply")};
    const qsizetype index = names.indexOf(name);
    return index < 0 ? std::nullopt : std::optional<CtlPresetAction>(CtlPresetAction(index));
}

constexpr auto failure = &CtlParse::refused;

// A whole number written as one (digits, a minus before them at most), as
// a session's requests take it too, within range; the error says what is
// wrong. Digits too many for any number are out of range.
std::optional<int> boundedNumber(const QString &text, ValueRange range, const QString &unit, QString *error)
{
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(QStringLiteral("-?[0-9]+")));
    if (!whole.match(text).hasMatch()) {
        *error = CtlCommandLine::tr("\"%1\" is not a whole number").arg(text);
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok || !range.contains(n)) {
        *error = CtlCommandLine::tr("%1 is outside %2 to %3 %4").arg(text).arg(range.min).arg(range.max).arg(unit);
        return std::nullopt;
    }
    return int(n);
}

const QString kPort = QStringLiteral("port");
const QString kTimeout = QStringLiteral("timeout");
const QString kJson = QStringLiteral("json");
const QString kVerify = QStringLiteral("verify");
const QString kFromBoard = QStringLiteral("from-board");

CCommandLine ctlCommandLine()
{
    CCommandLine commandLine(QStringLiteral("dimractl"), {QStringLiteral("[-p PORT] [-t MS] [--json] COMMAND [VALUES]")},
                             CtlCommandLine::tr("Sets and reads a Dimra three-channel PWM LED dimmer board over its "
                                                "serial line (9600 baud, 8N1), as the Dimra window does."));
    commandLine.addSection(
        CtlCommandLine::tr("Commands:"),
        {{QStringLiteral("list"), CtlCommandLine::tr("show the ports as the window lists them, COM1 to COM%1 and "
                                                     "every higher number that has a device: the device each "
                                                     "opens, its stable name and what it is")
                                      .arg(kCommPortCount)},
         {QStringLiteral("list mqtt://HOST"), CtlCommandLine::tr("show the boards the broker knows: the address "
                                                                 "of each, its id, its name, the bridge that serves "
                                                                 "it and whether it is online")},
         {QStringLiteral("get"), CtlCommandLine::tr("print the frequency and the three duties the board reports; a "
                                                    "value it did not report within the timeout shows as unknown")},
         {QStringLiteral("set"), CtlCommandLine::tr("send the values named, in the order --freq, --ch1, --ch2, --ch3")},
         {QStringLiteral("off"), CtlCommandLine::tr("set the three channels to %1 %").arg(kDutyMin)},
         {QStringLiteral("monitor"), CtlCommandLine::tr("print every reply of the board as it arrives, until Ctrl+C")},
         {QStringLiteral("session"), CtlCommandLine::tr("hold the port and take one JSON request a line on standard "
                                                        "input, answering each with one JSON line (see man dimractl); "
                                                        "the Python package dimra speaks it")},
         {QStringLiteral("preset list"), CtlCommandLine::tr("show the presets of the user's presets file, one a line: "
                                                            "the name, then the frequency and the duties it sets, - "
                                                            "for a value it leaves as it is")},
         {QStringLiteral("preset show NAME"), CtlCommandLine::tr("show the values the preset sets")},
         {QStringLiteral("preset save NAME"), CtlCommandLine::tr("save the values given with --freq, --ch1, --ch2, "
                                                                 "--ch3 as the preset, or with --from-board those the "
                                                                 "board reports, in place of a preset of that name")},
         {QStringLiteral("preset delete NAME"), CtlCommandLine::tr("delete the preset")},
         {QStringLiteral("preset apply NAME"), CtlCommandLine::tr("set the preset's values as set would set them")}},
        true);
    commandLine.addOption({{QStringLiteral("p"), kPort}, QStringLiteral("PORT"),
                           CtlCommandLine::tr("COM1 to COM%1, or a device path such as /dev/ttyUSB0 (default COM1; "
                                              "COMn opens $DIMRA_COM<n> when set, else what the window's COMn "
                                              "opens: the adapters in /dev/serial/by-id by name, then those only in "
                                              "/dev/serial/by-path, then built-in ports), or a board that "
                                              "dimra-mqtt serves: mqtt://[USER@]HOST[:PORT]/ID, mqtts:// for TLS "
                                              "(the password from $DIMRA_MQTT_PASSWORD or the file "
                                              "$DIMRA_MQTT_PASSWORD_FILE names, the CA from $DIMRA_MQTT_CAFILE or "
                                              "the system's)")
                               .arg(kCommPortMax)});
    commandLine.addOption({{QStringLiteral("t"), kTimeout}, QStringLiteral("MS"),
                           CtlCommandLine::tr("how long to wait for the board's answer (default %1)")
                               .arg(kCtlDefaultTimeoutMs)});
    commandLine.addOption({{kJson}, QString(),
                           CtlCommandLine::tr("one JSON object a line on standard output (list: one JSON array)")});
    for (const ValueOption &v : kValueOptions) {
        const ValueRange range = CDimraProtocol::RangeOf(v.code);
        commandLine.addOption(
            {{QString::fromLatin1(v.name)}, v.code == CDimraProtocol::CmdFrequency ? QStringLiteral("HZ") : QStringLiteral("P"),
             v.code == CDimraProtocol::CmdFrequency
                 ? CtlCommandLine::tr("set, preset save: PWM frequency, %1 to %2").arg(range.min).arg(range.max)
                 : CtlCommandLine::tr("set, preset save: duty of channel %1 in percent, %2 to %3").arg(v.code).arg(range.min).arg(range.max)});
    }
    commandLine.addOption({{kFromBoard}, QString(),
                           CtlCommandLine::tr("preset save: the values the board on the port reports")});
    commandLine.addOption({{kVerify}, QString(),
                           CtlCommandLine::tr("set, preset apply: ask the board to report again and compare")});
    commandLine.addEpilog(CtlCommandLine::tr("Settings go out only after the board has answered the connect frame.\n"
                                             "Values out of range are refused before the port is opened.\n"
                                             "The presets are kept in $XDG_CONFIG_HOME/dimra/presets.json "
                                             "(~/.config/dimra/presets.json by default; on Windows "
                                             "%APPDATA%\\Dimra\\presets.json), or in the file DIMRA_PRESETS "
                                             "names."));
    CCommandLine::Rows exitCodes;
    for (int code = ExitOk; code <= ExitMismatch; ++code)
        exitCodes.append({QString::number(code), CtlExitMeaning(code)});
    commandLine.addSection(CtlCommandLine::tr("Exit codes:"), exitCodes);
    commandLine.addEpilog(CtlCommandLine::tr("Stopped by SIGINT, SIGTERM or SIGHUP, or by a reader of its output that "
                                             "has gone, it lets what it sent reach the board, closes and unlocks the "
                                             "port, and ends by that signal (SIGPIPE for the reader; a shell shows "
                                             "128 + its number: 130 after Ctrl+C).\n\n"
                                             "Examples:\n"
                                             "  dimractl list\n"
                                             "  dimractl -p /dev/ttyUSB0 set --freq 2000 --ch1 40 --verify\n"
                                             "  dimractl --json get\n"
                                             "  dimractl list mqtt://broker.lab\n"
                                             "  dimractl -p mqtt://broker.lab/bench get\n"
                                             "  dimractl preset save \"Part A\" --freq 20000 --ch1 40 --ch2 60\n"
                                             "  dimractl -p COM3 preset apply \"Part A\" --verify"));
    return commandLine;
}

} // namespace

CtlParse ParseCtlArguments(const QStringList &arguments)
{
    CCommandLine parser = ctlCommandLine();
    if (CtlParse read = CtlParse::read(parser, arguments); read.outcome != CCommandLine::Run)
        return read;

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return failure(CtlCommandLine::tr("no command given (list, get, set, off, monitor, session or preset)"));
    const std::optional<CtlCommand> command = commandNamed(positional.first());
    if (!command)
        return failure(CtlCommandLine::tr("unknown command \"%1\" (list, get, set, off, monitor, session or preset)")
                           .arg(positional.first()));
    // list takes a broker, whose boards it lists instead of the ports.
    const bool brokerGiven = command == CtlCommand::List && positional.size() >= 2
                             && IsRemotePortName(CommandLineBytes(positional.at(1)));
    // preset takes what to do with the presets and, but for list, a name.
    std::optional<CtlPresetAction> presetAction;
    if (command == CtlCommand::Preset) {
        if (positional.size() < 2)
            return failure(CtlCommandLine::tr("preset needs list, show, save, delete or apply"));
        presetAction = presetActionNamed(positional.at(1));
        if (!presetAction)
            return failure(CtlCommandLine::tr("unknown preset command \"%1\" (list, show, save, delete or apply)")
                               .arg(positional.at(1)));
        if (presetAction != CtlPresetAction::List && positional.size() < 3)
            return failure(CtlCommandLine::tr("preset %1 needs the preset's name").arg(positional.at(1)));
        const qsizetype taken = presetAction == CtlPresetAction::List ? 2 : 3;
        if (positional.size() > taken)
            return failure(CtlCommandLine::tr("preset %1 takes one name; \"%2\" is one too many (put a name with "
                                              "spaces in quotes)")
                               .arg(positional.at(1), positional.at(taken)));
    } else if (positional.size() > (brokerGiven ? 2 : 1)) {
        return failure(CtlCommandLine::tr("one command at a time; \"%1\" is one too many").arg(positional.at(brokerGiven ? 2 : 1)));
    }

    CtlParse result;
    result.outcome = CCommandLine::Run;
    CtlOptions &options = result.options;
    options.command = *command;
    if (presetAction) {
        options.presetAction = *presetAction;
        options.presetName = positional.value(2);
    }
    options.json = parser.isSet(kJson);
    if (brokerGiven) {
        QString error;
        options.broker = ParseRemoteAddress(positional.at(1), false, &error);
        if (!options.broker)
            return failure(CtlCommandLine::tr("list: %1").arg(error));
    }

    if (parser.isSet(kPort)) {
        const QString port = parser.value(kPort);
        QString error;
        if (port.isEmpty())
            return failure(CtlCommandLine::tr("-p needs a port: COM1 to COM%1 or a device path").arg(kCommPortMax));
        if (IsRemotePortName(CommandLineBytes(port))) {
            if (!ParseRemoteAddress(port, true, &error))
                return failure(CtlCommandLine::tr("-p: %1").arg(error));
        } else if (!CommPortNumber(port))
            return failure(CtlCommandLine::tr("there is no port %1; the ports are COM1 to COM%2, or give a device path")
                               .arg(port, QString::number(kCommPortMax)));
        options.port = CommandLineBytes(port);
    }
    if (parser.isSet(kTimeout)) {
        QString error;
        const std::optional<int> ms =
            boundedNumber(parser.value(kTimeout), {1, kCtlLongestTimeoutMs}, QStringLiteral("ms"), &error);
        if (!ms)
            return failure(CtlCommandLine::tr("-t: %1").arg(error));
        options.timeoutMs = *ms;
    }

    const bool setting = options.command == CtlCommand::Set;
    const bool saving = presetAction == CtlPresetAction::Save;
    for (const ValueOption &v : kValueOptions) {
        const QString name = QString::fromLatin1(v.name);
        if (!parser.isSet(name))
            continue;
        if (!setting && !saving)
            return failure(CtlCommandLine::tr("--%1 goes with set and preset save only").arg(name));
        QString error;
        const std::optional<int> value = CtlValueInRange(v.code, parser.value(name), &error);
        if (!value)
            return failure(CtlCommandLine::tr("--%1: %2; nothing was sent").arg(name, error));
        options.values[v.code] = value;
    }
    if (parser.isSet(kVerify) && !setting && presetAction != CtlPresetAction::Apply)
        return failure(CtlCommandLine::tr("--verify goes with set and preset apply only"));
    options.verify = parser.isSet(kVerify);
    if (parser.isSet(kFromBoard) && !saving)
        return failure(CtlCommandLine::tr("--from-board goes with preset save only"));
    options.fromBoard = parser.isSet(kFromBoard);

    const bool valuesGiven = std::any_of(options.values.begin(), options.values.end(), [](auto v) { return v.has_value(); });
    if (setting && !valuesGiven)
        return failure(CtlCommandLine::tr("set needs at least one of --freq, --ch1, --ch2, --ch3"));
    if (saving && valuesGiven == options.fromBoard)
        return failure(CtlCommandLine::tr("preset save takes either values (--freq, --ch1, --ch2, --ch3) or "
                                          "--from-board"));
    if (options.command == CtlCommand::Off)
        options.values = kCtlOffValues;
    return result;
}

std::optional<int> CtlValueInRange(int code, const QString &text, QString *error)
{
    for (const ValueOption &v : kValueOptions)
        if (v.code == code)
            return boundedNumber(text, CDimraProtocol::RangeOf(code), QString::fromLatin1(v.unit), error);
    return std::nullopt;
}

QString CtlHelpText()
{
    return ctlCommandLine().helpText();
}
