#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

// The command line every Dimra program shares: dimractl, dimra-board,
// dimra-mqtt and the window's --help and --version. One help layout, one
// way to refuse bad usage (a message naming the option, exit status 2), and
// -h/--help and -v/--version everywhere. Each program has the same shape:
// Parse<Program>Arguments gives a CliParse of its options, <Program>HelpText
// its help, and main hands anything but Run to FinishCommandLine. A program
// declares its options and the sections of its help; its numbers (ranges,
// timeouts, exit codes) go into those texts from its constants.

namespace Cli {
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
} // namespace Cli

struct CliOption
{
    QStringList names;   // without dashes, short name first: {"p", "port"}
    QString valueName;   // the value's name in the help ("PORT"); empty for a switch
    QString description; // in the run's language
};

class CCommandLine
{
    // The headings and refusals are written in English and told in the
    // run's language.
    Q_DECLARE_TR_FUNCTIONS(CCommandLine)

public:
    enum Outcome { Run, Help, Version, Error };
    using Rows = QList<QPair<QString, QString>>;

    // synopsis: what follows "Usage: <program> ", a line for each form.
    CCommandLine(const QString &program, const QStringList &synopsis, const QString &description);

    // In the help's order; --help and --version come last by themselves.
    void addOption(const CliOption &option);
    // For a program with a window: Qt's own options (-style, -platform,
    // ...) are taken, single dash and all, and left to the application
    // object; the help does not list them.
    void acceptQtOptions();
    // A section of the help: rows of a term and its text, before the
    // options (Commands) or after them (Exit codes, Topics).
    void addSection(const QString &title, const Rows &rows, bool beforeOptions = false);
    // Free text at the end (examples, a note).
    void addEpilog(const QString &text);

    // Reads the arguments, program name first. An option the program does
    // not know, a value missing at the end and a value option given twice
    // are refused with the option named.
    Outcome parse(const QStringList &arguments);
    bool isSet(const QString &name) const { return m_parser->isSet(name); }
    QString value(const QString &name) const { return m_parser->value(name); }
    QStringList positionalArguments() const { return m_parser->positionalArguments(); }

    // What was wrong, when parse refused.
    QString error() const { return m_strError; }

    QString helpText() const;

private:
    Outcome refuse(const QString &error);

    struct Section
    {
        QString title;
        Rows rows;
        bool beforeOptions = false;
    };

    QString m_strProgram;
    QStringList m_synopsis;
    QString m_strDescription;
    QList<CliOption> m_options;
    QList<Section> m_sections;
    QStringList m_epilogs;
    // Held apart, so that a program's function can build its command line
    // whole and hand it over.
    std::unique_ptr<QCommandLineParser> m_parser = std::make_unique<QCommandLineParser>();
    QString m_strError;
};

// What a program's parse gives: what to do, the options to do it with, and
// for Error what was wrong, in a sentence naming the option.
template <typename Options> struct CliParse
{
    CCommandLine::Outcome outcome = CCommandLine::Error;
    Options options;
    QString error;

    // Reads the arguments as commandLine defines them: anything but Run is
    // the parse's whole answer, with the refusal, if any.
    static CliParse read(CCommandLine &commandLine, const QStringList &arguments)
    {
        CliParse result;
        result.outcome = commandLine.parse(arguments);
        result.error = commandLine.error();
        return result;
    }
    // A refusal the program found itself, naming what was wrong.
    static CliParse refused(const QString &error)
    {
        CliParse result;
        result.error = error;
        return result;
    }
};

// What main does with any outcome but Run: the help, or the program's name
// and version (QCoreApplication's), on standard output and status 0; or the
// refusal on standard error with a hint to --help and status 2.
int FinishCommandLine(CCommandLine::Outcome outcome, const QString &helpText, const QString &error);

// The program's arguments as text that keeps every byte: a byte that is not
// part of valid UTF-8 (a path's name need not be text) becomes the lone
// surrogate U+DC00 + byte, as Python's "surrogateescape" has it, and
// CommandLineBytes gives the bytes back unchanged. On Windows the text is
// the process's own command line, which the system keeps as UTF-16 (argc
// and argv are only a fallback), and CommandLineBytes gives an argument in
// the ANSI code page, as Windows' byte interfaces take a name.
QStringList CommandLineArguments(int argc, const char *const *argv);
QByteArray CommandLineBytes(const QString &argument);

// Which standard streams were closed when the program started.
struct ClosedStandardStreams
{
    bool in = false;
    bool out = false;
    bool err = false;
};

// A standard stream closed at start is opened on the null device, so that
// nothing opened later (the event loop's own descriptors, a serial port, a
// pseudo-terminal) takes its number and is read as input or written with
// messages. Call it first thing in main, before anything opens a descriptor.
ClosedStandardStreams ReserveStandardStreams();
