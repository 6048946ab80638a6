#include "boardoptions.h"

namespace {

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

CBoardCommandLine::CBoardCommandLine()
    : m_mode(QStringLiteral("mode"),
             tr("report (the default: answer the open-link command only), echo (answer every setting "
                "too), quiet (never answer) or noisy (random bytes and replies of a wrong length between "
                "the answers)"),
             QStringLiteral("mode"), QStringLiteral("report")),
      m_link(QStringLiteral("link"),
             tr("keep a symbolic link to the device at <path>, removed on exit; anything at <path> "
                "already stops the board from starting"),
             QStringLiteral("path")),
      m_noPacing(QStringLiteral("no-pacing"), tr("write answers at once instead of at 9600 baud")),
      m_trace(QStringLiteral("trace"), tr("show every frame received and sent: its bytes in hexadecimal, its meaning and "
                                           "checksum verdict")),
      m_stdio(QStringLiteral("stdio"),
              tr("read commands from standard input and write answers to standard output; at the end "
                 "of the input, send the answers still owed, then exit")),
      m_seed(QStringLiteral("seed"), tr("the random seed of the noisy mode (0 to 4294967295)"), QStringLiteral("n"),
             QStringLiteral("1"))
{
    m_parser.setApplicationDescription(tr("A virtual three-channel PWM dimmer board: it speaks Dimra's protocol on "
                                          "a pseudo-terminal, so that Dimra can be used and tested without the "
                                          "hardware."));
    m_parser.addHelpOption();
    m_parser.addOptions({m_mode, m_link, m_noPacing, m_trace, m_stdio, m_seed});
}

bool CBoardCommandLine::Parse(const QStringList &arguments)
{
    if (!m_parser.parse(arguments)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return refuse(tr("unknown option \"%1\"").arg(dashed(unknown.first())));
        // Otherwise an option that takes a value came last, without one.
        for (const QCommandLineOption *option : {&m_mode, &m_link, &m_seed})
            if (arguments.last() == dashed(option->names().first()))
                return refuse(tr("%1 needs a value").arg(arguments.last()));
        return refuse(m_parser.errorText());
    }
    if (m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all")))
        m_parser.showHelp(0);

    if (!m_parser.positionalArguments().isEmpty())
        return refuse(tr("unexpected argument \"%1\": only options are taken, see --help")
                          .arg(m_parser.positionalArguments().first()));
    for (const QCommandLineOption *option : {&m_mode, &m_link, &m_seed})
        if (m_parser.values(*option).size() > 1)
            return refuse(tr("%1 may be given only once").arg(dashed(option->names().first())));

    const std::optional<CBoardModel::Mode> mode = CBoardModel::ParseMode(m_parser.value(m_mode));
    if (!mode)
        return refuse(tr("--mode: unknown mode \"%1\"; the modes are report, echo, quiet and noisy")
                          .arg(m_parser.value(m_mode)));
    bool ok = false;
    const quint32 seed = m_parser.value(m_seed).toUInt(&ok);
    if (!ok)
        return refuse(tr("--seed: \"%1\" is not a whole number from 0 to 4294967295").arg(m_parser.value(m_seed)));
    if (m_parser.isSet(m_link) && m_parser.value(m_link).isEmpty())
        return refuse(tr("--link: the path is empty"));
    if (m_parser.isSet(m_link) && m_parser.isSet(m_stdio))
        return refuse(tr("--link does not go with --stdio: --stdio makes no device"));

    m_options.mode = *mode;
    m_options.seed = seed;
    m_options.link = m_parser.value(m_link);
    m_options.paced = !m_parser.isSet(m_noPacing);
    m_options.trace = m_parser.isSet(m_trace);
    m_options.stdio = m_parser.isSet(m_stdio);
    return true;
}

bool CBoardCommandLine::refuse(const QString &error)
{
    m_strError = error;
    return false;
}
