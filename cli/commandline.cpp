#include "commandline.h"

#include "printabletext.h"
#include "stopsignals.h"

#include <QTextBoundaryFinder>

namespace {

// The widest a term's column gets; a longer term has its text on the next line.
constexpr int kTermColumnMax = 26;
constexpr int kIndent = 2;
// The width of the help, as a terminal's default.
constexpr int kWidth = 79;

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Columns a character takes in a terminal: East Asian wide ones take two.
int columnsOf(QChar c)
{
    const char16_t u = c.unicode();
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
        || (u >= 0xFFE0 && u <= 0xFFE6);
    return wide ? 2 : 1;
}

int columnsOf(const QString &text)
{
    int n = 0;
    for (const QChar c : text)
        n += columnsOf(c);
    return n;
}

// One paragraph broken between words, or between Chinese characters, into
// lines of at most width columns (a word longer than that stands alone).
QStringList wrap(const QString &paragraph, int width)
{
    QStringList lines;
    QString line;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        // Between words, or beside a Chinese character; never inside an
        // option or a JSON text at its hyphens and colons.
        const bool wideAround = columnsOf(paragraph.at(end - 1)) == 2
            || (end < paragraph.size() && columnsOf(paragraph.at(end)) == 2);
        if (end < paragraph.size() && !paragraph.at(end - 1).isSpace() && !wideAround)
            continue;
        const QString piece = paragraph.mid(start, end - start);
        start = end;
        if (!line.isEmpty() && columnsOf(line + piece.trimmed()) > width) {
            lines.append(line.trimmed());
            line.clear();
        }
        line += piece;
    }
    if (!line.trimmed().isEmpty() || lines.isEmpty())
        lines.append(line.trimmed());
    return lines;
}

QString optionTerm(const CliOption &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names.append(dashed(name));
    QString term = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        term += QLatin1Char(' ') + option.valueName;
    return term;
}

// The help's rows laid out: the terms in a column of their own, each text
// wrapped to the help's width beside them (wide characters count twice).
QString formatHelpRows(const CCommandLine::Rows &rows)
{
    int column = 0;
    for (const auto &row : rows)
        column = qMax(column, kIndent + columnsOf(row.first) + 2);
    column = qMin(column, kTermColumnMax);
    QString text;
    const QString pad(column, QLatin1Char(' '));
    for (const auto &[term, description] : rows) {
        QString first = QString(kIndent, QLatin1Char(' ')) + term;
        const bool ownLine = columnsOf(first) + 1 > column;
        QStringList lines;
        for (const QString &paragraph : description.split(QLatin1Char('\n')))
            lines += wrap(paragraph, kWidth - column);
        if (ownLine) {
            text += first + QLatin1Char('\n');
            first = pad;
        } else {
            first += QString(column - columnsOf(first), QLatin1Char(' '));
        }
        for (int i = 0; i < lines.size(); ++i)
            text += (i == 0 ? first : pad) + lines.at(i) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

CCommandLine::CCommandLine(const QString &program, const QStringList &synopsis, const QString &description)
    : m_strProgram(program), m_synopsis(synopsis), m_strDescription(description)
{
    m_parser->addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    m_parser->addOption(QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
}

void CCommandLine::addOption(const CliOption &option)
{
    m_options.append(option);
    m_parser->addOption(QCommandLineOption(option.names, QString(), option.valueName));
}

void CCommandLine::acceptQtOptions()
{
    // The options QGuiApplication and QApplication take for themselves.
    static const char *const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                            "display", "geometry", "style", "stylesheet", "name", "title",
                                            "visual", "qmljsdebugger"};
    static const char *const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    // -platform and -style are Qt's words, not bundles of letters.
    m_parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : withValue)
        m_parser->addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    for (const char *name : flags)
        m_parser->addOption(QCommandLineOption(QString::fromLatin1(name)));
}

void CCommandLine::addSection(const QString &title, const Rows &rows, bool beforeOptions)
{
    m_sections.append({title, rows, beforeOptions});
}

void CCommandLine::addEpilog(const QString &text)
{
    m_epilogs.append(text);
}

CCommandLine::Outcome CCommandLine::parse(const QStringList &arguments)
{
    if (!m_parser->parse(arguments)) {
        const QStringList unknown = m_parser->unknownOptionNames();
        if (!unknown.isEmpty())
            return refuse(tr("unknown option \"%1\"").arg(dashed(unknown.first())));
        // Otherwise an option that takes a value came last, without one.
        return refuse(tr("%1 needs a value").arg(arguments.last()));
    }
    if (m_parser->isSet(QStringLiteral("help")))
        return Help;
    if (m_parser->isSet(QStringLiteral("version")))
        return Version;
    for (const CliOption &option : std::as_const(m_options))
        if (!option.valueName.isEmpty() && m_parser->values(option.names.first()).size() > 1)
            return refuse(tr("%1 may be given only once").arg(dashed(option.names.constLast())));
    return Run;
}

CCommandLine::Outcome CCommandLine::refuse(const QString &error)
{
    m_strError = error;
    return Error;
}

QString CCommandLine::helpText() const
{
    QString text;
    // "Usage: program ..." with each form's words wrapped under its first.
    const QString usage = tr("Usage:");
    const QString lead = usage + (usage.endsWith(QChar(0xFF1A)) ? QString() : QStringLiteral(" ")) + m_strProgram
        + QLatin1Char(' ');
    const QString hanging(columnsOf(lead), QLatin1Char(' '));
    for (int i = 0; i < m_synopsis.size(); ++i) {
        const QStringList lines = wrap(m_synopsis.at(i), kWidth - columnsOf(lead));
        for (int l = 0; l < lines.size(); ++l)
            text += (i == 0 && l == 0 ? lead : l == 0 ? QString(columnsOf(lead) - columnsOf(m_strProgram) - 1, QLatin1Char(' ')) + m_strProgram + QLatin1Char(' ') : hanging)
                + lines.at(l) + QLatin1Char('\n');
    }
    for (const QString &paragraph : m_strDescription.split(QStringLiteral("\n\n")))
        text += QLatin1Char('\n') + wrap(paragraph.simplified(), kWidth).join(QLatin1Char('\n')) + QLatin1Char('\n');

    const auto sections = [&](bool before) {
        for (const Section &section : m_sections)
            if (section.beforeOptions == before)
                text += QLatin1Char('\n') + section.title + QLatin1Char('\n') + formatHelpRows(section.rows);
    };
    sections(true);
    Rows options;
    for (const CliOption &option : m_options)
        options.append({optionTerm(option), option.description});
    options.append({QStringLiteral("-h, --help"), tr("show this help")});
    options.append({QStringLiteral("-v, --version"), tr("show the version")});
    text += QLatin1Char('\n') + tr("Options:") + QLatin1Char('\n') + formatHelpRows(options);
    sections(false);
    // Epilogs keep their lines; only a line of prose too long is wrapped.
    for (const QString &epilog : m_epilogs) {
        text += QLatin1Char('\n');
        for (const QString &line : epilog.split(QLatin1Char('\n')))
            text += (line.startsWith(QLatin1Char(' ')) ? line : wrap(line, kWidth).join(QLatin1Char('\n'))) + QLatin1Char('\n');
    }
    return text;
}

int FinishCommandLine(CCommandLine::Outcome outcome, const QString &helpText, const QString &error)
{
    const QString program = QCoreApplication::applicationName();
    switch (outcome) {
    case CCommandLine::Help:
        CStopSignals::write(stdout, helpText);
        return Cli::kExitOk;
    case CCommandLine::Version:
        CStopSignals::write(stdout, QStringLiteral("%1 %2\n").arg(program, QCoreApplication::applicationVersion()));
        return Cli::kExitOk;
    case CCommandLine::Error:
    case CCommandLine::Run:
        break;
    }
    CStopSignals::write(stderr, QStringLiteral("%1: %2\n%3\n")
                                    .arg(program, PrintableText(error), CCommandLine::tr("Run \"%1 --help\" for the options.").arg(program)));
    return Cli::kExitUsage;
}
