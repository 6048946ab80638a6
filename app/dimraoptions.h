#pragma once

#include <QString>
#include <QStringList>

// The window's command line. It is read before the application object
// exists, which needs a display: --help, --version and a refused option are
// answered on the terminal without one. Qt's own options (-style,
// -platform, ...) are known here and left for the application object.

struct DimraOptions
{
    QString port; // --port: COMn or a device path; empty for the adapter linked on last
    bool connect = false;
};

struct DimraParse
{
    enum Outcome { Run, Help, Version, Error };
    Outcome outcome = Error;
    DimraOptions options;
    QString error; // for Error: what was wrong, in a sentence
};

// The program's arguments (program name first) as Qt reads them.
QStringList DimraArguments(int argc, char *argv[]);

// Reads the arguments (program name first).
DimraParse ParseDimraArguments(const QStringList &arguments);

// What --help prints.
QString DimraHelpText();

// Answers --help, --version or a refused option on the terminal, in the
// run's language and with no window. Returns the exit status: 0, or 2 for
// a refused option.
int AnswerOnTerminal(int argc, char *argv[]);
