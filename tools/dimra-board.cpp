// dimra-board: a virtual dimmer board on a pseudo-terminal, so that Dimra
// can be used and tested without the hardware.

#include "boardconsole.h"
#include "boardmodel.h"
#include "boardserver.h"
#include "quitonsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "dimra-board: %s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra-board"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "虚拟三通道 PWM 调光板：在伪终端上按 Dimra 的协议收发，无需硬件即可使用和测试 Dimra。"));
    parser.addHelpOption();
    const QCommandLineOption modeOption(
        QStringLiteral("mode"),
        QStringLiteral("report（默认：仅应答建立连接）、echo（也应答每条设置命令）、"
                       "quiet（从不应答）或 noisy（应答之间夹杂随机字节和长度错误的回复）"),
        QStringLiteral("mode"), QStringLiteral("report"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("在 <path> 处保留指向设备的符号链接"), QStringLiteral("path"));
    const QCommandLineOption fastOption(QStringLiteral("no-pacing"),
                                        QStringLiteral("不按 9600 波特的速率发送，立即写出应答"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         QStringLiteral("逐帧显示收发的十六进制字节、含义和校验结果"));
    const QCommandLineOption stdioOption(QStringLiteral("stdio"),
                                         QStringLiteral("从标准输入读命令、向标准输出写应答，输入结束即退出"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("noisy 模式的随机种子"),
                                        QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({modeOption, linkOption, fastOption, traceOption, stdioOption, seedOption});
    parser.process(app);

    const std::optional<CBoardModel::Mode> mode = CBoardModel::ParseMode(parser.value(modeOption));
    if (!mode)
        return fail(QStringLiteral("未知模式“%1”，可选 report、echo、quiet、noisy").arg(parser.value(modeOption)));
    if (!QuitOnSignals(&app))
        return fail(QStringLiteral("无法安装信号处理"));
    ::signal(SIGPIPE, SIG_IGN); // a write to a line nobody reads fails instead of ending the board

    CBoardModel model(*mode, parser.value(seedOption).toUInt());
    CBoardServer server(&model);
    server.setPaced(!parser.isSet(fastOption));
    QObject::connect(&server, &CBoardServer::inputEnded, &app, &QCoreApplication::quit);

    const bool stdio = parser.isSet(stdioOption);
    if (stdio) {
        server.Attach(STDIN_FILENO, STDOUT_FILENO);
    } else {
        QString error;
        if (!server.OpenPty(&error))
            return fail(error);
        if (parser.isSet(linkOption) && !server.LinkTo(parser.value(linkOption), &error))
            return fail(error);
        std::printf("虚拟调光板（%s 模式）：%s\nDIMRA_COM1=%s\n",
                    qPrintable(CBoardModel::ModeName(*mode)), qPrintable(server.devicePath()),
                    qPrintable(server.devicePath()));
        std::fflush(stdout);
    }

    CBoardConsole console(&server, &model, stderr, parser.isSet(traceOption), ::isatty(STDERR_FILENO) && !stdio);
    console.showStatus();
    const int rc = app.exec();
    console.finish();
    return rc;
}
