#pragma once

#include <QByteArray>

#include <atomic>
#include <termios.h>
#include <thread>

class PtyPair;

// The board's end of a pseudo-terminal as a UART drains it: on a thread of
// its own, no faster than bytesPerSecond. It counts the bytes taken after
// the program's end had lost the speed the program set, so that a test sees
// whether the line's settings went back before the last byte had left.
class PacedFarEnd
{
public:
    PacedFarEnd(const PtyPair &line, int bytesPerSecond, speed_t programSpeed);
    ~PacedFarEnd() { stop(); }

    // Takes what still waits, stops, and returns all it read.
    QByteArray stop();
    qint64 bytesAfterTheSpeedChanged() const { return m_afterChange; }

private:
    void run();
    void take(int most);

    const PtyPair &m_line;
    const int m_bytesPerSecond;
    const speed_t m_programSpeed;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_afterChange{0};
    QByteArray m_received; // the thread's until it is joined
    std::thread m_thread;
};
