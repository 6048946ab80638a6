#pragma once

#include "dimraprotocol.h"

#include <QString>
#include <QStringList>
#include <optional>

// dimractl's command line: which command, which port, and the values to
// set, all checked before any port is opened. A value outside the board's
// range is refused, never clamped.

enum class CtlCommand { List, Get, Set, Off, Monitor };

struct CtlOptions
{
    CtlCommand command = CtlCommand::Get;
    QString port = QStringLiteral("COM1");
    int timeoutMs = 1000;
    bool json = false;
    bool verify = false;
    BoardValues values; // what set sends (off: the three channels at 0)
};

struct CtlParse
{
    enum Outcome { Run, Help, Version, Error };
    Outcome outcome = Error;
    CtlOptions options;
    QString error; // for Error: what was wrong, in a sentence
};

// Reads the arguments (program name first).
CtlParse ParseCtlArguments(const QStringList &arguments);

// The number n of a port written COMn (any case) with n from 1 to Dimra::kPortCount, or 0
// for a device path. Nothing for COMn with n out of range.
std::optional<int> CtlPortNumber(const QString &port);

// What --help prints: commands, options and exit codes.
QString CtlHelpText();
