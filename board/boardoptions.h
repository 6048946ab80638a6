#pragma once

#include "boardmodel.h"
#include "commandline.h"

#include <QByteArray>
#include <QStringList>

// What the board was asked to do on its command line.
struct BoardOptions
{
    CBoardModel::Mode mode = CBoardModel::Report;
    quint32 seed = 1;
    QByteArray link; // the path as the system takes it, byte for byte; empty: no link
    bool paced = true;
    bool trace = false;
    bool stdio = false;
};

using BoardParse = CliParse<BoardOptions>;

// The board's command line (program name first), as CommandLineArguments
// gives it. Every value is checked, so that a mistyped one is refused with
// the option named instead of quietly becoming another.
BoardParse ParseBoardArguments(const QStringList &arguments);

QString BoardHelpText();
