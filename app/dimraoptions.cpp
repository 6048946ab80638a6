#include "dimraoptions.h"

#include "boardlink.h"
#include "language.h"
#include "protocolnumbers.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// The command line's messages and help are written in English, as the
// command-line programs' are, and told in the run's language.
struct DimraCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(DimraCommandLine)
};

// The options QGuiApplication and QApplication take for themselves.
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                           "display", "geometry", "style", "stylesheet", "name", "title",
                                           "visual", "qmljsdebugger"};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

constexpr int kExitUsage = 2;

DimraParse failure(const QString &error)
{
    DimraParse result;
    result.error = error;
    return result;
}

} // namespace

QStringList DimraArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

DimraParse ParseDimraArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    // -platform and -style are Qt's words, not bundles of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")}, QString(), QStringLiteral("PORT"));
    const QCommandLineOption connect(QStringList{QStringLiteral("c"), QStringLiteral("connect")});
    parser.addOptions({help, version, port, connect});
    for (const char *name : kQtOptionsWithValue)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    for (const char *name : kQtFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return {DimraParse::Help, {}, {}};
    if (parser.isSet(version))
        return {DimraParse::Version, {}, {}};
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty())
        return failure(DimraCommandLine::tr("unexpected argument \"%1\"; a port goes with --port").arg(extra.first()));

    DimraParse result;
    result.outcome = DimraParse::Run;
    result.options.connect = parser.isSet(connect);
    if (parser.isSet(port)) {
        result.options.port = parser.value(port);
        if (result.options.port.isEmpty())
            return failure(DimraCommandLine::tr("--port needs a port: COM1 to COM%1 or a device path").arg(kCommPortCount));
        if (!CommPortNumber(result.options.port))
            return failure(DimraCommandLine::tr("there is no port %1; the ports are COM1 to COM%2, or give a device path")
                               .arg(result.options.port)
                               .arg(kCommPortCount));
    }
    return result;
}

QString DimraHelpText()
{
    return DimraCommandLine::tr(R"(Usage: dimra [-p PORT] [-c]

Opens the Dimra window, which sets a three-channel PWM LED dimmer board over
its serial line (9600 baud, 8N1).

Options:
  -p, --port PORT  select PORT at start: COM1 to COM%1, or a device path such
                   as /dev/ttyUSB0 (default: the adapter the window last
                   linked on, else COM1)
  -c, --connect    connect to that port at start, as a click on Connect does
  -h, --help       show this help
  -v, --version    show the version

Qt's own options, such as -style, work as in any Qt program.
)")
        .arg(kCommPortCount);
}

int AnswerOnTerminal(int argc, char *argv[])
{
    // An application object that needs no display, for the run's language.
    QCoreApplication app(argc, argv);
    const CRunLanguage language(CRunLanguage::CommandLine);
    const DimraParse parse = ParseDimraArguments(DimraArguments(argc, argv));
    switch (parse.outcome) {
    case DimraParse::Help:
        std::fputs(DimraHelpText().toUtf8().constData(), stdout);
        return 0;
    case DimraParse::Version:
        std::printf("dimra %s\n", DIMRA_VERSION);
        return 0;
    case DimraParse::Run:
    case DimraParse::Error:
        break;
    }
    const QString hint = DimraCommandLine::tr("Run \"dimra --help\" for the options.");
    std::fprintf(stderr, "dimra: %s\n%s\n", parse.error.toUtf8().constData(), hint.toUtf8().constData());
    return kExitUsage;
}
