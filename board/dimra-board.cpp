// dimra-board: a virtual dimmer board on a pseudo-terminal, so that Dimra
// can be used and tested without the hardware.
//
// Exit status: 0 when its input ended or a signal ended it, 1 when it could
// not serve, 2 (Cli::kExitUsage) when its command line was refused.

#include "boardconsole.h"
#include "boardmodel.h"
#include "boardoptions.h"
#include "boardserver.h"
#include "language.h"
#include "stopsignals.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kCannotServe = 1;

int fail(const QString &message)
{
    CStopSignals::write(stderr, QStringLiteral("dimra-board: %1\n").arg(message));
    return kCannotServe;
}

} // namespace

int main(int argc, char *argv[])
{
    const ClosedStandardStreams closed = ReserveStandardStreams(); // before anything opens a descriptor
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra-board"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    const CRunLanguage language(CRunLanguage::CommandLine);

    // The arguments byte for byte: --link takes any path.
    const BoardParse parse = ParseBoardArguments(CommandLineArguments(argc, argv));
    if (parse.outcome != CCommandLine::Run)
        return FinishCommandLine(parse.outcome, BoardHelpText(), parse.error);
    const BoardOptions &options = parse.options;
    if (options.stdio && closed.in)
        return fail(QCoreApplication::translate("dimra-board",
                                                "--stdio: standard input is closed, so there are no commands to read"));
    if (options.stdio && closed.out)
        return fail(QCoreApplication::translate("dimra-board",
                                                "--stdio: standard output is closed, so answers have nowhere to go"));
    // A closed terminal (SIGHUP) ends the board as SIGINT and SIGTERM do,
    // so that it cleans up, its link above all.
    if (!QuitOnStopSignals(&app))
        return fail(QCoreApplication::translate("dimra-board", "cannot install the signal handlers"));

    CBoardModel model(options.mode, options.seed);
    CBoardServer server(&model);
    server.setPaced(options.paced);
    QObject::connect(&server, &CBoardServer::finished, &app, &QCoreApplication::quit);

    if (options.stdio) {
        server.attach(STDIN_FILENO, STDOUT_FILENO);
    } else {
        QString error;
        if (!server.openPty(&error))
            return fail(error);
        if (!options.link.isEmpty() && !server.linkTo(options.link, &error))
            return fail(error);
        const QString banner = QCoreApplication::translate("dimra-board", "Virtual dimmer board (%1 mode): %2")
                                   .arg(CBoardModel::modeName(options.mode), server.devicePath());
        CStopSignals::write(stdout, QStringLiteral("%1\nDIMRA_COM1=%2\n").arg(banner, server.devicePath()));
    }

    CBoardConsole console(&server, &model, stderr, options.trace, ::isatty(STDERR_FILENO) && !options.stdio);
    console.showStatus();
    const int rc = app.exec();
    console.finish();
    if (!server.errorString().isEmpty())
        return fail(server.errorString());
    return rc;
}
