#include "boardoptions.h"

#include <QCoreApplication>

namespace {

// The board's command line is written in English and told in the run's
// language.
struct CBoardCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CBoardCommandLine)
};

const QString kMode = QStringLiteral("mode");
const QString kLink = QStringLiteral("link");
const QString kNoPacing = QStringLiteral("no-pacing");
const QString kTrace = QStringLiteral("trace");
const QString kStdio = QStringLiteral("stdio");
const QString kSeed = QStringLiteral("seed");

CCommandLine boardCommandLine()
{
    CCommandLine commandLine(QStringLiteral("dimra-board"),
                             {QStringLiteral("[--mode MODE] [--link PATH] [--no-pacing] [--trace] [--seed N]"),
                              QStringLiteral("--stdio [--mode MODE] [--no-pacing] [--trace] [--seed N]")},
                             CBoardCommandLine::tr("A virtual three-channel PWM dimmer board: it speaks Dimra's protocol "
                                                   "on a pseudo-terminal, so that Dimra can be used and tested without "
                                                   "the hardware."));
    commandLine.addOption({{kMode}, QStringLiteral("MODE"),
                           CBoardCommandLine::tr("report (the default: answer the open-link command only), echo "
                                                 "(answer every setting too), quiet (never answer) or noisy (random "
                                                 "bytes and replies of a wrong length between the answers)")});
    commandLine.addOption({{kLink}, QStringLiteral("PATH"),
                           CBoardCommandLine::tr("keep a symbolic link to the device at PATH, removed on exit; "
                                                 "anything at PATH already stops the board from starting")});
    commandLine.addOption({{kNoPacing}, QString(), CBoardCommandLine::tr("write answers at once instead of at 9600 baud")});
    commandLine.addOption({{kTrace}, QString(),
                           CBoardCommandLine::tr("show every frame received and sent: its bytes in hexadecimal, its "
                                                 "meaning and checksum verdict")});
    commandLine.addOption({{kStdio}, QString(),
                           CBoardCommandLine::tr("read commands from standard input and write answers to standard "
                                                 "output; at the end of the input, send the answers still owed, then "
                                                 "exit")});
    commandLine.addOption({{kSeed}, QStringLiteral("N"),
                           CBoardCommandLine::tr("the random seed of the noisy mode (0 to %1)").arg(UINT32_MAX)});
    return commandLine;
}

} // namespace

BoardParse ParseBoardArguments(const QStringList &arguments)
{
    CCommandLine commandLine = boardCommandLine();
    BoardParse result = BoardParse::read(commandLine, arguments);
    if (result.outcome != CCommandLine::Run)
        return result;
    const auto refuse = &BoardParse::refused;
    if (!commandLine.positionalArguments().isEmpty())
        return refuse(CBoardCommandLine::tr("unexpected argument \"%1\": only options are taken, see --help")
                          .arg(commandLine.positionalArguments().first()));

    const QString modeName = commandLine.isSet(kMode) ? commandLine.value(kMode) : QStringLiteral("report");
    const std::optional<CBoardModel::Mode> mode = CBoardModel::parseMode(modeName);
    if (!mode)
        return refuse(CBoardCommandLine::tr("--mode: unknown mode \"%1\"; the modes are report, echo, quiet and noisy")
                          .arg(modeName));
    bool ok = true;
    const quint32 seed = commandLine.isSet(kSeed) ? commandLine.value(kSeed).toUInt(&ok) : 1;
    if (!ok)
        return refuse(CBoardCommandLine::tr("--seed: \"%1\" is not a whole number from 0 to %2")
                          .arg(commandLine.value(kSeed))
                          .arg(UINT32_MAX));
    if (commandLine.isSet(kLink) && commandLine.value(kLink).isEmpty())
        return refuse(CBoardCommandLine::tr("--link: the path is empty"));
    if (commandLine.isSet(kLink) && commandLine.isSet(kStdio))
        return refuse(CBoardCommandLine::tr("--link does not go with --stdio: --stdio makes no device"));

    BoardOptions &options = result.options;
    options.mode = *mode;
    options.seed = seed;
    options.link = CommandLineBytes(commandLine.value(kLink));
    options.paced = !commandLine.isSet(kNoPacing);
    options.trace = commandLine.isSet(kTrace);
    options.stdio = commandLine.isSet(kStdio);
    return result;
}

QString BoardHelpText()
{
    return boardCommandLine().helpText();
}
