#pragma once

#include "dimraprotocol.h"

#include <QString>
#include <QStringList>
#include <optional>

// dimractl's command line: which command, which port, and the values to
// set, all checked before any port is opened. A value outside the board's
// range is refused, never clamped.

enum class CtlCommand { List, Get, Set, Off, Monitor, Session };

struct CtlOptions
{
    CtlCommand command = CtlCommand::Get;
    QString port = QStringLiteral("COM1");
    QByteArray devicePath; // -p PATH as the system takes it, byte for byte; empty for COMn
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

// A value for the board given as text: a whole number within the range of
// the value with this code, or nothing, with error saying what is wrong.
std::optional<int> CtlValueInRange(int code, const QString &text, QString *error);

// The program's arguments as text that keeps every byte: a byte that is not
// part of valid UTF-8 (a path's name need not be text) becomes the lone
// surrogate U+DC00 + byte, as Python's "surrogateescape" has it, and
// CtlArgumentBytes gives the bytes back unchanged.
QStringList CtlArguments(int argc, const char *const *argv);
QByteArray CtlArgumentBytes(const QString &argument);

// What --help prints: commands, options and exit codes.
QString CtlHelpText();
