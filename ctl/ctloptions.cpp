#include "ctloptions.h"

#include "boardlink.h"
#include "dimraprotocol.h"
#include "protocolnumbers.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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
    int min;
    int max;
    const char *unit;
};

const ValueOption kValueOptions[] = {
    {"freq", CDimraProtocol::CmdFrequency, kFrequencyMin, kFrequencyMax, "Hz"},
    {"ch1", CDimraProtocol::CmdChannel1, kDutyMin, kDutyMax, "%"},
    {"ch2", CDimraProtocol::CmdChannel2, kDutyMin, kDutyMax, "%"},
    {"ch3", CDimraProtocol::CmdChannel3, kDutyMin, kDutyMax, "%"},
};

std::optional<CtlCommand> commandNamed(const QString &name)
{
    if (name == QLatin1String("list"))
        return CtlCommand::List;
    if (name == QLatin1String("get"))
        return CtlCommand::Get;
    if (name == QLatin1String("set"))
        return CtlCommand::Set;
    if (name == QLatin1String("off"))
        return CtlCommand::Off;
    if (name == QLatin1String("monitor"))
        return CtlCommand::Monitor;
    if (name == QLatin1String("session"))
        return CtlCommand::Session;
    return std::nullopt;
}

CtlParse failure(const QString &error)
{
    CtlParse result;
    result.error = error;
    return result;
}

// A whole decimal number within [min, max]; the error says what is wrong.
std::optional<int> boundedNumber(const QString &text, int min, int max, const QString &unit, QString *error)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok, 10);
    if (!ok) {
        *error = CtlCommandLine::tr("\"%1\" is not a whole number").arg(text);
        return std::nullopt;
    }
    if (n < min || n > max) {
        *error = CtlCommandLine::tr("%1 is outside %2 to %3 %4").arg(text).arg(min).arg(max).arg(unit);
        return std::nullopt;
    }
    return int(n);
}

// A lone low surrogate stands for one byte that was not UTF-8.
constexpr char16_t kEscapedByteBase = 0xDC00;

} // namespace

QStringList CtlArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int a = 0; a < argc; ++a) {
        const QByteArray raw(argv[a]);
        QString text;
        for (qsizetype i = 0; i < raw.size();) {
            const uchar lead = uchar(raw.at(i));
            const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
            if (length > 0 && i + length <= raw.size()) {
                const QByteArray sequence = raw.mid(i, length);
                const QString decoded = QString::fromUtf8(sequence);
                if (decoded.toUtf8() == sequence) {
                    text += decoded;
                    i += length;
                    continue;
                }
            }
            text += QChar(char16_t(kEscapedByteBase + lead));
            ++i;
        }
        arguments.append(text);
    }
    return arguments;
}

QByteArray CtlArgumentBytes(const QString &argument)
{
    QByteArray bytes;
    QString run;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument.at(i);
        // The low half of a character beyond U+FFFF is no escaped byte.
        const bool paired = i > 0 && argument.at(i - 1).isHighSurrogate();
        if (!paired && c.unicode() >= kEscapedByteBase + 0x80 && c.unicode() <= kEscapedByteBase + 0xFF) {
            bytes += run.toUtf8();
            run.clear();
            bytes += char(c.unicode() - kEscapedByteBase);
        } else {
            run += c;
        }
    }
    return bytes + run.toUtf8();
}

CtlParse ParseCtlArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")}, QString(), QStringLiteral("PORT"));
    const QCommandLineOption timeout({QStringLiteral("t"), QStringLiteral("timeout")}, QString(), QStringLiteral("MS"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption verify(QStringLiteral("verify"));
    parser.addOptions({help, version, port, timeout, json, verify});
    for (const ValueOption &v : kValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(v.name), QString(), QStringLiteral("N")));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return {CtlParse::Help, {}, {}};
    if (parser.isSet(version))
        return {CtlParse::Version, {}, {}};

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return failure(CtlCommandLine::tr("no command given (list, get, set, off, monitor or session)"));
    if (positional.size() > 1)
        return failure(CtlCommandLine::tr("one command at a time; \"%1\" is one too many").arg(positional.at(1)));
    const std::optional<CtlCommand> command = commandNamed(positional.first());
    if (!command)
        return failure(CtlCommandLine::tr("unknown command \"%1\" (list, get, set, off, monitor or session)").arg(positional.first()));

    CtlParse result;
    result.outcome = CtlParse::Run;
    CtlOptions &options = result.options;
    options.command = *command;
    options.json = parser.isSet(json);

    if (parser.isSet(port)) {
        options.port = parser.value(port);
        if (options.port.isEmpty())
            return failure(CtlCommandLine::tr("-p needs a port: COM1 to COM%1 or a device path").arg(kCommPortCount));
        const std::optional<int> number = CommPortNumber(options.port);
        if (!number)
            return failure(CtlCommandLine::tr("there is no port %1; the ports are COM1 to COM%2, or give a device path")
                               .arg(options.port, QString::number(kCommPortCount)));
        if (*number == 0)
            options.devicePath = CtlArgumentBytes(options.port);
    }
    if (parser.isSet(timeout)) {
        QString error;
        const std::optional<int> ms = boundedNumber(parser.value(timeout), 1, 3600000, QStringLiteral("ms"), &error);
        if (!ms)
            return failure(CtlCommandLine::tr("-t: %1").arg(error));
        options.timeoutMs = *ms;
    }

    const bool setting = options.command == CtlCommand::Set;
    for (const ValueOption &v : kValueOptions) {
        const QString name = QString::fromLatin1(v.name);
        if (!parser.isSet(name))
            continue;
        if (!setting)
            return failure(CtlCommandLine::tr("--%1 goes with set only").arg(name));
        QString error;
        const std::optional<int> value = boundedNumber(parser.value(name), v.min, v.max, QString::fromLatin1(v.unit), &error);
        if (!value)
            return failure(CtlCommandLine::tr("--%1: %2; nothing was sent").arg(name, error));
        options.values[v.code] = value;
    }
    if (parser.isSet(verify) && !setting)
        return failure(CtlCommandLine::tr("--verify goes with set only"));
    options.verify = parser.isSet(verify);

    if (setting && std::none_of(options.values.begin(), options.values.end(), [](auto v) { return v.has_value(); }))
        return failure(CtlCommandLine::tr("set needs at least one of --freq, --ch1, --ch2, --ch3"));
    if (options.command == CtlCommand::Off)
        for (int code : {CDimraProtocol::CmdChannel1, CDimraProtocol::CmdChannel2, CDimraProtocol::CmdChannel3})
            options.values[code] = kDutyMin;
    return result;
}

std::optional<int> CtlValueInRange(int code, const QString &text, QString *error)
{
    for (const ValueOption &v : kValueOptions)
        if (v.code == code)
            return boundedNumber(text, v.min, v.max, QString::fromLatin1(v.unit), error);
    return std::nullopt;
}

QString CtlHelpText()
{
    return CtlCommandLine::tr(R"(Usage: dimractl [-p PORT] [-t MS] [--json] COMMAND [VALUES]

Sets and reads a Dimra three-channel PWM LED dimmer board over its serial
line (9600 baud, 8N1), as the Dimra window does.

Commands:
  list      show COM1 to COM%1 as the window lists them: the device each
            opens, its stable name and what it is
  get       print the frequency and the three duties the board reports;
            a value it did not report within the timeout shows as unknown
  set       send the values named, in the order --freq, --ch1, --ch2, --ch3
  off       set the three channels to 0 %
  monitor   print every reply of the board as it arrives, until Ctrl+C
  session   hold the port and take one JSON request a line on standard
            input, answering each with one JSON line (see man dimractl);
            the Python package dimra speaks it

Options:
  -p, --port PORT   COM1 to COM%1, or a device path such as /dev/ttyUSB0
                    (default COM1; COMn opens $DIMRA_COM<n> when set, else
                    what the window's COMn opens: the adapters in
                    /dev/serial/by-id by name, then those only in
                    /dev/serial/by-path, then built-in ports)
  -t, --timeout MS  how long to wait for the board's answer (default 1000)
  --json            one JSON object a line on standard output (list: one
                    JSON array)
  --freq HZ         set: PWM frequency, %2 to %3
  --ch1/--ch2/--ch3 P
                    set: duty of a channel in percent, %4 to %5
  --verify          set: ask the board to report again and compare
  -h, --help        show this help
  -v, --version     show the version

Settings go out only after the board has answered the connect frame.
Values out of range are refused before the port is opened.

Exit codes:
  0  done; every frame has left the computer
  1  I/O error, or the device was lost
  2  bad usage, or a value out of range
  3  no such port
  4  no permission to open the port
  5  the port is in use by another program (the Dimra window, for example)
  6  the board did not answer within the timeout
  7  --verify found a different value
Stopped by SIGINT, SIGTERM, SIGHUP or SIGPIPE, it lets what it sent reach
the board, closes and unlocks the port, and ends by that signal (a shell
shows 128 + its number: 130 after Ctrl+C).

Examples:
  dimractl list
  dimractl -p /dev/ttyUSB0 set --freq 2000 --ch1 40 --verify
  dimractl --json get
)")
        .arg(kCommPortCount)
        .arg(kFrequencyMin)
        .arg(kFrequencyMax)
        .arg(kDutyMin)
        .arg(kDutyMax);
}
