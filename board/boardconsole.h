#pragma once

#include "boardmodel.h"

#include <QObject>
#include <QString>
#include <cstdio>

class CBoardServer;

// Shows a person what the board is doing: a live line with the frequency
// and the three duties, and, when tracing, every frame received and sent in
// hex with its meaning and checksum verdict.
class CBoardConsole : public QObject
{
    Q_OBJECT

public:
    // live: out is a terminal, so the status line is rewritten in place;
    // otherwise it is printed whenever it changes.
    CBoardConsole(CBoardServer *server, const CBoardModel *model, FILE *out, bool trace, bool live);

    void showStatus();
    // Ends the live line so that the shell's prompt starts on a fresh one.
    void finish();

    // droppedAnswers: answers the server never sent (see CBoardServer).
    static QString statusLine(const CBoardModel &model, qint64 droppedAnswers);
    static QString traceLine(const QString &direction, const QByteArray &bytes, const QString &meaning);

private:
    void print(const QString &line);

    const CBoardServer *m_server;
    const CBoardModel *m_model;
    FILE *m_out;
    bool m_bTrace;
    bool m_bLive;
    QString m_strLastStatus;
};
