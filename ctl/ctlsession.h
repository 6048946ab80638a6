#pragma once

#include "boardlink.h"
#include "ctloptions.h"

#include <QObject>
#include <QTimer>
#include <cstdio>

// One run of a dimractl command, driven by the event loop.
//
// It opens the port as the window does and sends the open-link frame. get
// waits for the four values the board reports; set and off wait for the
// board's channel 1 reply, send the values named in the order frequency,
// channel 1, 2, 3 and, with --verify, ask for a report again and compare;
// monitor prints every reply until the program is stopped. The timeout
// bounds each wait for the board. The session ends by emitting finished
// with the exit code, the port closed through the link's one close path:
// what waits goes out and the line carries it before the port closes. A
// stop signal ends it the same way.
//
// Results go to out, messages for the user to err: English, with the
// serial component's own text (Chinese, as in the window) quoted and the
// system's own words on a line of their own below it.
class CCtlSession : public QObject
{
    Q_OBJECT

public:
    CCtlSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent = nullptr);

    // Runs the command; call it from the running event loop.
    void Start();
    // A stop signal arrived: what was sent still reaches the board, the port
    // closes, and finished follows.
    void Stop(int signalNumber);
    // The signal that stopped the session, or 0.
    int stopSignal() const { return m_nStopSignal; }

signals:
    void finished(int exitCode);

private:
    void listPorts();
    void onReply(int code, int value);
    void onTimeout();
    void onLost(const QString &text, const QString &details);
    void sendSettings();
    bool allReported(const BoardValues &wanted) const;
    void compareReport();
    void finish(int exitCode, const QString &message = QString(), const QString &details = QString());
    void print(const QString &text);

    CtlOptions m_options;
    FILE *m_out;
    FILE *m_err;
    CBoardLink m_link;
    QTimer m_timer;
    bool m_bPortOpened = false;
    bool m_bSent = false;      // the settings have gone out
    bool m_bVerifying = false; // and a report to compare against is awaited
    bool m_bFinished = false;
    int m_nStopSignal = 0;
};
