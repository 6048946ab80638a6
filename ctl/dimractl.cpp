// dimractl: sets and reads a dimmer board from scripts and test rigs, over
// the same codec and serial control as the Dimra window.

#include "ctlexit.h"
#include "ctloptions.h"
#include "ctlsession.h"
#include "quitonsignals.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimractl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));

    const CtlParse parse = ParseCtlArguments(QCoreApplication::arguments());
    switch (parse.outcome) {
    case CtlParse::Help:
        std::fputs(CtlHelpText().toUtf8().constData(), stdout);
        return ExitOk;
    case CtlParse::Version:
        std::printf("dimractl %s\n", DIMRA_VERSION);
        return ExitOk;
    case CtlParse::Error:
        std::fprintf(stderr, "dimractl: %s\nRun \"dimractl --help\" for the commands and options.\n",
                     parse.error.toUtf8().constData());
        return ExitUsage;
    case CtlParse::Run:
        break;
    }

    // Only monitor runs until stopped; Ctrl+C ends it as a normal end.
    if (parse.options.command == CtlCommand::Monitor && !QuitOnSignals(&app)) {
        std::fprintf(stderr, "dimractl: cannot install the signal handlers\n");
        return ExitIo;
    }

    CCtlSession session(parse.options, stdout, stderr);
    QObject::connect(&session, &CCtlSession::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    QMetaObject::invokeMethod(&session, &CCtlSession::Start, Qt::QueuedConnection);
    return app.exec();
}
