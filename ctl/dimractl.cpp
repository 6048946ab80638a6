// dimractl: sets and reads a dimmer board from scripts and test rigs, over
// the same codec and serial control as the Dimra window.

#include "ctlexit.h"
#include "ctloptions.h"
#include "ctlrun.h"
#include "language.h"
#include "stopsignals.h"

#include <QCoreApplication>


namespace {

// Runs a one-shot command or a session until it finishes, and ends the
// process as it finished.
int run(QCoreApplication &app, CCtlRun &session)
{
    // Ctrl+C, a kill, a closed terminal or a reader of the output that has
    // gone (dimractl monitor | head -1) end the run through the port's one
    // way out: nothing stays locked or exclusive for the next run.
    CStopSignals *stops = CStopSignals::watch();
    if (!stops) {
        CStopSignals::write(stderr, QStringLiteral("dimractl: %1\n")
                                        .arg(QCoreApplication::translate("dimractl", "cannot install the signal handlers")));
        return ExitIo;
    }
    QObject::connect(stops, &CStopSignals::stopRequested, &session, &CCtlRun::stop);
    QObject::connect(&session, &CCtlRun::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    QMetaObject::invokeMethod(&session, &CCtlRun::start, Qt::QueuedConnection);
    const int exitCode = app.exec();
    if (session.stopSignal() != 0)
        ExitAsStoppedBy(session.stopSignal());
    // A stop that came while the run was ending well, as the end of a
    // session's input followed by Ctrl+C, is still the reason it ended.
    if (exitCode == ExitOk && CStopSignals::arrived() != 0)
        ExitAsStoppedBy(CStopSignals::arrived());
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    ReserveStandardStreams(); // before anything opens a descriptor
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimractl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    const CRunLanguage language(CRunLanguage::CommandLine);

    // The arguments byte for byte: -p takes any path the window takes.
    const CtlParse parse = ParseCtlArguments(CommandLineArguments(argc, argv));
    if (parse.outcome != CCommandLine::Run)
        return FinishCommandLine(parse.outcome, CtlHelpText(), parse.error);

    CCtlRun session(parse.options, stdout, stderr);
    return run(app, session);
}
