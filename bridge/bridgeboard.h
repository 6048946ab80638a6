#pragma once

#include "boardlink.h"
#include "bridgeconfig.h"
#include "bridgemessages.h"
#include "presetfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// One board of the bridge: its link, what the host knows of its values, and
// the commands still owed to it.
//
// The state holds only what is known: a value the board reported, or one
// whose frame has left for the line (the link's frameSent, after merging and
// pacing) since it linked; every other value is empty, and a link that comes
// again forgets the values of the one before. The board counts as linked once
// it has answered and its report is in (or has had its time), so that the
// state published as linked holds the board's own values. A command that
// comes before then waits and goes out once it is; with restore, every value
// last commanded goes out again whenever the board links anew (a replug, a
// power cycle, a restart of the bridge, which hands over what it remembers).
// Either waits until the board has reported after linking, so that its
// report, still on the line, cannot overwrite what was just sent.
//
// Asked to report (requestReport), a linked board is sent the open-link
// command again; it stays linked, commands wait until its report is in,
// and reportIn says when it is, for the state to be published anew, changed
// or not. Asked while a report is on its way, it asks again once that one
// is in and the commands that waited for it have gone. A board that does
// not answer within its time is linked no more.
//
// A light's command with a transition fades the channel from its value to
// the new one in steps at the line's pace; the last step is the value
// itself, and any later command for that channel ends the fade.
//
// A preset applied is a command with its values; the board holds it until
// a value moves away from where the preset and the commands before it put
// it: a command that sets another value, or the board's own report of
// another (a power cycle, when restore does not send the values again).
//
// A port that cannot be opened, or a device that goes away, is tried again
// with a delay that doubles up to a limit; a board that does not answer is
// asked again the same way. Each problem is logged once, not at every try.
class CBridgeBoard : public QObject
{
    Q_OBJECT

public:
    explicit CBridgeBoard(const BridgeBoardConfig &config, QObject *parent = nullptr);

    // Opens the port, and keeps at it; nothing touches the port before.
    void start();
    // The same, except when another program holds the port's lock: then
    // false, with nothing logged and nothing tried again, so that the bridge
    // can find out whether that program is another bridge that serves the
    // board, before it says anything of it; start() takes it as it comes.
    bool claim();
    const BridgeBoardConfig &config() const { return m_config; }
    const BoardState &state() const { return m_state; }
    // The port has been open at least once since start().
    bool hasOpened() const { return m_bOpened; }
    // The channel's last duty above 0 that was commanded, or reported as the
    // board linked, for a light switched on without a brightness; 0 when
    // there was none.
    int lastOn(int channel) const { return m_lastOn[channel]; }

    // Values a run before this one commanded, for restore.
    void remember(const BoardValues &values);
    // Sends the values given, frequency first; while the board is not
    // linked they wait for it. A channel's value with transitionMs > 0 fades
    // to it from the channel's known value.
    void command(const BoardValues &values, int transitionMs = 0);
    // The same with the preset's values, which the board holds from now on.
    void applyPreset(const Preset &preset, int transitionMs = 0);
    // The name of the preset the board holds; empty when none was applied
    // or a value has moved since.
    QString preset() const { return m_strPreset; }

    // Asks a linked board to report again (reportIn follows); one that is not
    // linked is being asked already, and its state follows once it answers.
    void requestReport();

    // Sends what waits, waits until it has left (its line time and at most
    // marginMs more), and closes the port; false when not all of it left.
    // A fade stops where it is.
    bool close(int marginMs);

signals:
    void stateChanged();
    // preset() changed.
    void presetChanged();
    // The board has reported as requestReport asked, or had its time.
    void reportIn();
    // The port opened for the first time.
    void opened();
    void logged(const QString &line);

private:
    struct Fade
    {
        bool running = false;
        int from = 0;
        int to = 0;
        qint64 startMs = 0;
        int durationMs = 0;
        int sent = -1; // the last step handed to the link
    };

    // False only when heldIsLeft and another program holds the port.
    bool open(bool heldIsLeft = false);
    void retryOpen(const QString &problem);
    void onLinked();
    void onReported(int code, int value);
    void onLost(const QString &text, const QString &details);
    void noAnswer();
    // The board's report after linking, or after requestReport, is in.
    bool reportComplete() const;
    void onReportTime();
    void sendOwed();
    void sendOwedValues();
    // Commands go out now, not owed: linked, and no report of its own is on its way.
    bool ready() const { return m_state.linked && !m_bReportAsked; }
    void send(int code, int value);
    void stepFades();
    void stopFades();
    void setValue(int code, std::optional<int> value);
    void setLinked(bool linked);
    // Sends the values, frequency first, or owes them (command's work).
    void commandValues(const BoardValues &values, int transitionMs);
    // The preset is held no more where the board's report shows a value
    // other than the one commanded, and not on its way (owed, fading).
    void checkPresetHeld();
    void setPreset(const QString &name);
    void logOnce(const QString &problem);

    BridgeBoardConfig m_config;
    CBoardLink m_link;
    BoardState m_state;
    std::array<int, 4> m_lastOn{}; // by channel 1-3
    BoardValues m_commanded;     // every value commanded, for restore
    BoardValues m_owed;          // commanded and not yet handed to the link
    std::array<Fade, 4> m_fades; // by channel 1-3
    bool m_bOpened = false;
    bool m_bReportAsked = false;   // requestReport's answer is on its way
    bool m_bReportAgain = false;   // and another is asked for, after what waits for it
    QTimer m_retryTimer;           // reopens the port
    int m_nRetryMs = 0;
    QTimer m_answerTimer;          // asks a silent board again
    int m_nAnswerMs = 0;
    QTimer m_reportTimer;          // ends the wait for the report
    QTimer m_fadeTimer;            // the next step of the fades that run
    QElapsedTimer m_clock;         // the fades' time
    QString m_strLastProblem;      // logged already; not again until it changes
    QString m_strPreset;           // the preset the board holds
};
