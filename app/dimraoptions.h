#pragma once

#include "commandline.h"

#include <QString>
#include <QStringList>

// The window's command line. It is read before the application object
// exists, which needs a display: --help, --version and a refused option are
// answered on the terminal without one. Qt's own options (-style,
// -platform, ...) are known here and left for the application object.

struct DimraOptions
{
    QString port; // --port: COMn, a device path or an mqtt:// address; empty for the one linked on last
    bool connect = false;
};

using DimraParse = CliParse<DimraOptions>;

// Reads the arguments (program name first).
DimraParse ParseDimraArguments(const QStringList &arguments);

// What --help prints.
QString DimraHelpText();

// Answers --help, --version or a refused option on the terminal, in the
// run's language and with no window. Returns the exit status: 0, or 2 for
// a refused option.
int AnswerOnTerminal(int argc, char *argv[]);
