#pragma once

#include "ctlrun.h"

// One run of a dimractl command.
//
// It opens the port as the window does and sends the open-link frame. get
// waits for the four values the board reports; set and off wait for the
// board's channel 1 reply, send the values named in the order frequency,
// channel 1, 2, 3 and, with --verify, ask for a report again and compare;
// monitor prints every reply until the program is stopped. The timeout
// bounds each wait for the board. The run ends as every run does (CCtlRun),
// a stop signal too.
class CCtlSession : public CCtlRun
{
    Q_OBJECT

public:
    CCtlSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent = nullptr);

    void start() override;

private:
    void listPorts();
    void onReply(int code, int value);
    void onTimeout();
    void onLost(const QString &text, const QString &details);
    void sendSettings();

    bool m_bSent = false;      // the settings have gone out
    bool m_bVerifying = false; // and a report to compare against is awaited
};
