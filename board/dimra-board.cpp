// dimra-board: a virtual dimmer board on a pseudo-terminal, so that Dimra
// can be used and tested without the hardware.
//
// Exit status: 0 when its input ended or a signal ended it, 1 when it could
// not serve, 2 when its command line was refused.

#include "boardconsole.h"
#include "boardmodel.h"
#include "boardoptions.h"
#include "boardserver.h"
#include "quitonsignals.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kCannotServe = 1;
constexpr int kUsage = 2;

struct ClosedStandardFds
{
    bool in = false;
    bool out = false;
};

// A standard descriptor closed at start is opened on /dev/null, so that
// nothing the board opens later takes its number and is read or written as
// if it were standard input or output.
ClosedStandardFds reserveStandardFds()
{
    bool closed[3] = {};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        closed[fd] = ::fcntl(fd, F_GETFD) == -1;
        if (closed[fd])
            ::open("/dev/null", O_RDWR); // the lowest free number: fd
    }
    return {closed[STDIN_FILENO], closed[STDOUT_FILENO]};
}

int fail(const QString &message, int status = kCannotServe)
{
    std::fprintf(stderr, "dimra-board: %s\n", message.toLocal8Bit().constData());
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    const ClosedStandardFds closed = reserveStandardFds(); // before anything opens a descriptor
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra-board"));

    CBoardCommandLine commandLine;
    if (!commandLine.Parse(QCoreApplication::arguments()))
        return fail(commandLine.error(), kUsage);
    const BoardOptions &options = commandLine.options();
    if (options.stdio && closed.in)
        return fail(QStringLiteral("--stdio：标准输入已关闭，没有命令可读"));
    if (options.stdio && closed.out)
        return fail(QStringLiteral("--stdio：标准输出已关闭，应答无处可写"));
    // A closed terminal (SIGHUP) ends the board as SIGINT and SIGTERM do,
    // so that it cleans up, its link above all.
    ::signal(SIGPIPE, SIG_IGN);
    if (!QuitOnSignals(&app))
        return fail(QStringLiteral("无法安装信号处理"));

    CBoardModel model(options.mode, options.seed);
    CBoardServer server(&model);
    server.setPaced(options.paced);
    QObject::connect(&server, &CBoardServer::finished, &app, &QCoreApplication::quit);

    if (options.stdio) {
        server.Attach(STDIN_FILENO, STDOUT_FILENO);
    } else {
        QString error;
        if (!server.OpenPty(&error))
            return fail(error);
        if (!options.link.isEmpty() && !server.LinkTo(options.link, &error))
            return fail(error);
        std::printf("虚拟调光板（%s 模式）：%s\nDIMRA_COM1=%s\n",
                    qPrintable(CBoardModel::ModeName(options.mode)), qPrintable(server.devicePath()),
                    qPrintable(server.devicePath()));
        std::fflush(stdout);
    }

    CBoardConsole console(&server, &model, stderr, options.trace, ::isatty(STDERR_FILENO) && !options.stdio);
    console.showStatus();
    const int rc = app.exec();
    console.finish();
    if (!server.errorString().isEmpty())
        return fail(server.errorString());
    return rc;
}
