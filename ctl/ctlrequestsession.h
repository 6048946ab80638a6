#pragma once

#include "ctlrequest.h"
#include "ctlrun.h"

#include <array>
#include <deque>

class CCtlInput;

// dimractl session: one port held for as long as a script needs the board.
//
// Requests come one a line on standard input (ctlrequest.h); each is
// answered with one line on out, in the order asked, and events come
// between the answers as they happen (ctlformat.h): the link once the board
// has answered, before any answer, and the board's replies while watched. The port opens as for
// every command; requests wait for the board's answer to the open-link frame,
// and a board that gives none within the timeout ends the session as it ends
// get or set.
//
// set and off go out as soon as they are read, without waiting for the
// answers before them, so that a burst of settings merges in the link as a
// drag of the window's sliders does; each is answered once its frames have
// left the computer, or a later value of the same setting that took a frame's
// place has. get, set with verify, watch and close wait until everything
// asked before them is answered: they read the board's report, change what
// is written between the answers, or end the session.
//
// A request that fails, or cannot be read, is answered with the exit code and
// message of the one-shot command, and the session goes on. It ends by the
// one close path, on close, at the end of the input or on a stop signal: what
// waits goes out and the line carries it, then the port closes and its lock
// goes; after a stop signal only what was done is answered. A lost board or a port that refuses a write ends it too: the message
// goes to err as the one-shot command writes it, and every request still
// waiting is answered with it.
class CCtlRequestSession : public CCtlRun
{
    Q_OBJECT

public:
    CCtlRequestSession(const CtlOptions &options, FILE *out, FILE *err, QObject *parent = nullptr);
    ~CCtlRequestSession() override;

    // Reads requests from standard input and opens the port.
    void start() override;

private:
    struct Pending
    {
        CtlRequest request;
        bool ending = false; // the end of the input: closes, and is not answered
        bool started = false;
        bool done = false;
        int framesToGo = 0; // set and off: settings whose frame has not left
        QString answer;
    };

    void request(const CtlRequest &asked);
    void endOfInput();
    void advanceLater();
    void advance();
    void start(Pending &pending, qint64 id);
    void complete(Pending &pending, const QString &answer);
    Pending *pendingWithId(qint64 id);
    void onReply(int code, int value);
    void checkReport(); // answers the get or verified set once the report is in
    void onFrameSent(int code, int value);
    void onTimeout();
    void closed(const CtlFailure &result) override;

    CCtlInput *m_input = nullptr;
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
};
