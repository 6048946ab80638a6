#pragma once

#include "boardlink.h"
#include "bridgeconfig.h"
#include "bridgemessages.h"

#include <QObject>
#include <QTimer>

// One board of the bridge: its link, what the host knows of its values, and
// the commands still owed to it.
//
// The state follows the window: a value counts once its frame has left for
// the line (the link's frameSent, after merging and pacing), a value the
// board reports replaces it, and the board's channel 1 reply links it. A
// command that comes while the board is not linked waits and goes out once
// it is; with restore, every value last commanded goes out again whenever
// the board links anew (a replug, a power cycle). Either waits until the
// board has reported after linking, so that its report, still on the line,
// cannot overwrite what was just sent.
//
// A port that cannot be opened, or a device that goes away, is tried again
// with a delay that doubles up to a limit; a board that does not answer is
// asked again the same way. Each problem is logged once, not at every try.
class CBridgeBoard : public QObject
{
    Q_OBJECT

public:
    explicit CBridgeBoard(const BridgeBoardConfig &config, QObject *parent = nullptr);

    void start();
    const BridgeBoardConfig &config() const { return m_config; }
    const BoardState &state() const { return m_state; }
    // The channel's last duty above 0, for a light switched on without a
    // brightness; 0 when there was none.
    int lastOn(int channel) const { return m_lastOn[channel]; }

    // Sends the values given, frequency first; while the board is not
    // linked they wait for it.
    void command(const BoardValues &values);

    // Sends what waits, waits until it has left (its line time and at most
    // marginMs more), and closes the port; false when not all of it left.
    bool close(int marginMs);

signals:
    void stateChanged();
    void logged(const QString &line);

private:
    void open();
    void retryOpen(const QString &problem);
    void onLinked();
    void onReported(int code, int value);
    void onSent(int code, int value);
    void onLost(const QString &text, const QString &details);
    void noAnswer();
    void sendOwed();
    void send(int code, int value);
    void setValue(int code, int value);
    void setLinked(bool linked);
    void logOnce(const QString &problem);

    BridgeBoardConfig m_config;
    CBoardLink m_link;
    BoardState m_state;
    std::array<int, 4> m_lastOn{}; // by channel 1-3
    BoardValues m_commanded;     // every value commanded, for restore
    BoardValues m_owed;          // commanded and not yet handed to the link
    bool m_bReady = false;         // linked and the board's report is in
    QTimer m_retryTimer;           // reopens the port
    int m_nRetryMs = 0;
    QTimer m_answerTimer;          // asks a silent board again
    int m_nAnswerMs = 0;
    QTimer m_reportTimer;          // ends the wait for the report
    QString m_strLastProblem;      // logged already; not again until it changes
};
