#include "dimra.h"
#include "dimraoptions.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // A standard stream closed at start is kept at its number, so that no
    // port the window opens can take it and receive Qt's warnings.
    ReserveStandardStreams();
    // The command line first: the application object needs a display, and
    // --help, --version or a refused option are answered without one.
    const DimraParse parse = ParseDimraArguments(CommandLineArguments(argc, argv));
    if (parse.outcome != CCommandLine::Run)
        return AnswerOnTerminal(argc, argv);
    QApplication app(argc, argv);
    CMyDimraApp theApp(parse.options);
    theApp.InitInstance();
    return 0;
}
