#pragma once

#include "abstractboardlink.h"
#include "brokerboards.h"
#include "ctlexit.h"
#include "ctloptions.h"
#include "ctlrequest.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>

// How a run of dimractl, or one request of a session, ended: the exit code,
// the message for the user and the system's own words apart. Done may carry
// a note for the user (the values get did not receive). A session answers
// with what a one-shot command would exit with.
struct CtlOutcome
{
    int exitCode = ExitOk;
    QString message;
    QString details;

    static CtlOutcome done(const QString &note = QString()) { return {ExitOk, note, QString()}; }
    bool isDone() const { return exitCode == ExitOk; }
};

// A run of dimractl on one board link, driven by the event loop: a port of
// this computer or a board that dimra-mqtt serves, whichever link the port's
// name calls for (linkfactory/), through the one interface. Every
// command but list and the presets file's own runs as a session of requests
// (ctlrequest.h): a session reads them from standard input; a one-shot
// command is a session of the one request its arguments make (get, set,
// off; preset apply the set of the preset's values, and preset save
// --from-board a get whose values are saved), and monitor is a session's
// watch from the open on. Results go to out, messages for the user to err:
// English, with the serial component's own text (Chinese, as in the window)
// quoted and the system's own words on a line of their own below it.
//
// The port opens as the window opens it and sends the open-link frame;
// requests wait for the board's answer to it, and a board that gives none
// within the timeout ends the run (monitor waits as long as it runs). get
// reads the values the board reports; set and off send the values named in
// the order frequency, channel 1, 2, 3 and, with verify, ask for a report
// again and compare. The timeout bounds each wait for the board. Behind a
// bridge the same holds of the board's published state; a setting the
// bridge refuses fails the set that waits to verify it.
//
// A session answers each request with one line on out, in the order asked,
// and events come between the answers as they happen (ctlformat.h): the link
// once the board has answered, before any answer, and the board's replies
// while watched. set and off go out as soon as they are read, without
// waiting for the answers before them, so that a burst of settings merges in
// the link as a drag of the window's sliders does; each is answered once its
// frames have left the computer, or a later value of the same setting that
// took a frame's place has. get, set with verify, watch and close wait until
// everything asked before them is answered: they read the board's report,
// change what is written between the answers, or end the session. A request
// that fails, or cannot be read, is answered with the exit code and message
// of the one-shot command, and the session goes on.
//
// A one-shot command prints in its own formats (ctlformat.h: text, or
// --json) and ends as its request does: its exit code, its message on err.
//
// Every run ends by the one close path: on close, at the end of a session's
// input, when a one-shot command's request is done, or on a stop signal.
// What waits goes out and the line carries it, then the port closes and its
// lock goes; after a stop signal a session answers only what was done. A
// lost board or a port that refuses a write ends it too: the message goes to
// err, and a session answers every request still waiting with it.
class CCtlRun : public QObject
{
    Q_OBJECT

public:
    CCtlRun(const CtlOptions &options, FILE *out, FILE *err, QObject *parent = nullptr);

    // Runs it; call it from the running event loop.
    void start();
    // A stop signal arrived: what was sent still reaches the board, the port
    // closes, and finished follows.
    void stop(int signalNumber);
    // The signal that stopped the run, or 0.
    int stopSignal() const { return m_nStopSignal; }

signals:
    void finished(int exitCode);

private:
    struct Pending
    {
        CtlRequest request;
        bool ending = false; // the end of the input: closes, and is not answered
        bool started = false;
        int framesToGo = 0;                 // a session's set and off: settings whose frame has not left
        std::optional<CtlOutcome> answer;   // once answered
        std::optional<BoardValues> values;  // get: what the board reported
    };

    bool isSession() const { return m_options.command == CtlCommand::Session; }
    void request(const CtlRequest &asked);
    void endOfInput();
    void advanceLater();
    void advance();
    void startRequest(Pending &pending, qint64 id);
    void complete(Pending &pending, const CtlOutcome &answer, const BoardValues *values = nullptr);
    void deliver(const Pending &answered);
    Pending *pendingWithId(qint64 id);
    void onReply(int code, int value);
    void checkReport(); // answers the get or verified set once the report is in
    void onFrameSent(int code, int value);
    void onTimeout();
    void onRefused(const QString &reason);
    void listBroker();
    // The link a run's port calls for, its events followed; false when the
    // run has ended because there is none.
    bool makeLink();
    // Ends the run, at the first call only: the link closes through its one
    // way out (what waits goes out and the line carries it before the port
    // closes), the message goes to err, a session answers what it still
    // owes, and finished follows with the exit code.
    void finish(const CtlOutcome &outcome);
    void answerTheRest(const CtlOutcome &result);
    void print(const QString &text);

    CtlOptions m_options;
    FILE *m_out;
    FILE *m_err;
    std::unique_ptr<CAbstractBoardLink> m_link;
    bool m_bRemote = false; // the board sits behind a bridge: messages give other advice
    QTimer m_timer;
    std::deque<Pending> m_pending; // asked and not yet answered, in order
    qint64 m_nFirstId = 0;         // the number of m_pending's first; they count up from 0
    qint64 m_nReading = -1;        // the get or verified set that waits for the board's report
    // By setting code, oldest first: the requests whose frame of it has not
    // left yet, with the value each sent.
    std::array<QList<std::pair<qint64, int>>, Dimra::kCommandCount> m_unsent;
    bool m_bLinked = false;     // the board has answered the open-link frame
    bool m_bOpenReport = false; // nothing was set since: its report answers a get
    bool m_bWatching = false;
    bool m_bAdvancePosted = false;
    bool m_bFinished = false;
    int m_nStopSignal = 0;
    int m_nOutputError = 0; // the system's error of the first output that could not be written
};
