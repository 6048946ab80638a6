#pragma once

#include "boardlink.h"
#include "ctlexit.h"
#include "ctloptions.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <optional>

// What ends a run, or one request of a session, that went wrong: the exit code, the message for the user and the system's own
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

// A run of dimractl on one board link, driven by the event loop: a one-shot
// command (ctlsession.h) or a session of requests (ctlrequestsession.h).
// Results go to out, messages for the user to err: English, with the serial
// component's own text (Chinese, as in the window) quoted and the system's
// own words on a line of their own below it.
class CCtlRun : public QObject
{
    Q_OBJECT

public:
    // Runs it; call it from the running event loop.
    virtual void start() = 0;
    // A stop signal arrived: what was sent still reaches the board, the port
    // closes, and finished follows.
    void stop(int signalNumber);
    // The signal that stopped the run, or 0.
    int stopSignal() const { return m_nStopSignal; }

signals:
    void finished(int exitCode);

protected:
    CCtlRun(const CtlOptions &options, FILE *out, FILE *err, QObject *parent);

    // Ends the run, at the first call only: the link closes through its one
    // way out (what waits goes out and the line carries it before the port
    // closes), the message goes to err, closed() sees how it ended, and
    // finished follows with the exit code.
    void finish(const CtlFailure &outcome);
    virtual void closed(const CtlFailure &result);
    void print(const QString &text);

    CtlOptions m_options;
    FILE *m_out;
    FILE *m_err;
    CBoardLink m_link;
    QTimer m_timer;
    bool m_bFinished = false;

private:
    int m_nStopSignal = 0;
};
