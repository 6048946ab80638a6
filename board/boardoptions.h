#pragma once

#include "boardmodel.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

// What the board was asked to do on its command line.
struct BoardOptions
{
    CBoardModel::Mode mode = CBoardModel::Report;
    quint32 seed = 1;
    QString link; // empty: no link
    bool paced = true;
    bool trace = false;
    bool stdio = false;
};

// The board's command line. Every value is checked, so that a mistyped one
// is refused with the option named instead of quietly becoming another.
class CBoardCommandLine
{
public:
    CBoardCommandLine();

    // Reads arguments (the program's name first). Shows the help and exits
    // when it is asked for; false when the arguments cannot be run as given,
    // with error() saying why.
    bool Parse(const QStringList &arguments);
    const BoardOptions &options() const { return m_options; }
    QString error() const { return m_strError; }

private:
    bool refuse(const QString &error);

    QCommandLineParser m_parser;
    const QCommandLineOption m_mode;
    const QCommandLineOption m_link;
    const QCommandLineOption m_noPacing;
    const QCommandLineOption m_trace;
    const QCommandLineOption m_stdio;
    const QCommandLineOption m_seed;
    BoardOptions m_options;
    QString m_strError;
};
