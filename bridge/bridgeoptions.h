#pragma once

#include "bridgeconfig.h"

#include <QString>
#include <QStringList>

// dimra-mqtt's command line: one board with -p and the broker's options, or
// several boards and the broker from a configuration file with -c
// (bridgeconfig.h); all of it checked before anything opens.

// Reads the arguments (program name first), as CommandLineArguments gives
// them; -c reads the file it names.
BridgeParse ParseBridgeArguments(const QStringList &arguments);

// What --help prints: the options and the topics.
QString BridgeHelpText();
