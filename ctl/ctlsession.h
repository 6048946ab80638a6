#pragma once

#include "boardlink.h"
#include "ctlexit.h"
#include "ctloptions.h"

#include <QObject>
#include <QTimer>
#include <cstdio>

// What ends a run, or one request of a session (ctlrequestsession.h), that
// went wrong: the exit code, the message for the user and the system's own
// words apart. A session answers with what a one-shot command would exit with.
struct CtlFailure
{
    int exitCode = ExitOk;
    QString message;
    QString details;
};

// Opens the port as every command does, ending with the open-link frame;
// what went wrong, if anything.
std::optional<CtlFailure> OpenCtlLink(CBoardLink &link, const CtlOptions &options);
// The one way out of every run: the link closes, what waits going out first.
// Where that spoils an outcome that had gone well, the reason takes its place.
CtlFailure CloseCtlLink(CBoardLink &link, const CtlFailure &outcome);
// The message for the user on err, with the system's own words below it.
void PrintCtlFailure(FILE *err, const CtlFailure &failure);

// The board went away, or a setting could not be written.
CtlFailure CtlLostFailure(const QString &text, const QString &details);
CtlFailure CtlSendFailure(const CSerialError &error);
// The board on device left the open-link frame unanswered within timeoutMs;
// settingWaits adds that nothing was set.
CtlFailure CtlNoAnswerFailure(const QString &device, int timeoutMs, bool settingWaits);
// --verify: the board did not report again, or reports other values.
CtlFailure CtlNotVerifiedFailure(const QString &device, int timeoutMs);
std::optional<CtlFailure> CtlCompareFailure(const BoardValues &wanted, const BoardValues &reported);
// get: the values the board left out, shown as unknown.
QString CtlMissingValuesText(const BoardValues &reported, int timeoutMs);
// Whether every value wanted names has been reported.
bool CtlAllReported(const BoardValues &wanted, const BoardValues &reported);
// For CtlAllReported: get waits for every value.
inline constexpr BoardValues kCtlAllValues = {std::nullopt, 0, 0, 0, 0};

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
    void finish(const CtlFailure &outcome);
    void print(const QString &text);

    CtlOptions m_options;
    FILE *m_out;
    FILE *m_err;
    CBoardLink m_link;
    QTimer m_timer;
    bool m_bSent = false;      // the settings have gone out
    bool m_bVerifying = false; // and a report to compare against is awaited
    bool m_bFinished = false;
    int m_nStopSignal = 0;
};
