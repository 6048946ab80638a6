#include "dimraoptions.h"

#include "commport.h"
#include "language.h"
#include "remoteaddress.h"

#include <QCoreApplication>

namespace {

// The command line's messages and help are written in English, as the
// command-line programs' are, and told in the run's language.
struct DimraCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(DimraCommandLine)
};

const QString kPort = QStringLiteral("port");
const QString kConnect = QStringLiteral("connect");

CCommandLine dimraCommandLine()
{
    CCommandLine commandLine(QStringLiteral("dimra"), {QStringLiteral("[-p PORT] [-c]")},
                             DimraCommandLine::tr("Opens the Dimra window, which sets a three-channel PWM LED dimmer "
                                                  "board over its serial line (9600 baud, 8N1)."));
    commandLine.addOption({{QStringLiteral("p"), kPort}, QStringLiteral("PORT"),
                           DimraCommandLine::tr("select PORT at start: COM1 to COM%1, a device path such as "
                                                "/dev/ttyUSB0, or a board that dimra-mqtt serves: "
                                                "mqtt://[USER@]HOST[:PORT]/ID, mqtts:// for TLS (default: the adapter "
                                                "or board the window last linked on, else COM1)")
                               .arg(kCommPortMax)});
    commandLine.addOption({{QStringLiteral("c"), kConnect}, QString(),
                           DimraCommandLine::tr("connect to that port at start, as a click on Connect does")});
    commandLine.addEpilog(DimraCommandLine::tr("Qt's own options, such as -style, work as in any Qt program."));
    commandLine.acceptQtOptions();
    return commandLine;
}

} // namespace

DimraParse ParseDimraArguments(const QStringList &arguments)
{
    CCommandLine commandLine = dimraCommandLine();
    DimraParse result = DimraParse::read(commandLine, arguments);
    if (result.outcome != CCommandLine::Run)
        return result;
    const auto refuse = &DimraParse::refused;
    if (const QStringList extra = commandLine.positionalArguments(); !extra.isEmpty())
        return refuse(DimraCommandLine::tr("unexpected argument \"%1\"; a port goes with --port").arg(extra.first()));
    result.options.connect = commandLine.isSet(kConnect);
    if (commandLine.isSet(kPort)) {
        result.options.port = commandLine.value(kPort);
        if (result.options.port.isEmpty())
            return refuse(DimraCommandLine::tr("--port needs a port: COM1 to COM%1 or a device path").arg(kCommPortMax));
        if (IsRemotePortName(result.options.port.toUtf8())) {
            QString error;
            if (!ParseRemoteAddress(result.options.port, true, &error))
                return refuse(DimraCommandLine::tr("--port: %1").arg(error));
        } else if (!CommPortNumber(result.options.port))
            return refuse(DimraCommandLine::tr("there is no port %1; the ports are COM1 to COM%2, or give a device path")
                              .arg(result.options.port)
                              .arg(kCommPortMax));
    }
    return result;
}

QString DimraHelpText()
{
    return dimraCommandLine().helpText();
}

int AnswerOnTerminal(int argc, char *argv[])
{
    // An application object that needs no display, for the run's language.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    const CRunLanguage language(CRunLanguage::CommandLine);
    const DimraParse parse = ParseDimraArguments(CommandLineArguments(argc, argv));
    return FinishCommandLine(parse.outcome, DimraHelpText(), parse.error);
}
