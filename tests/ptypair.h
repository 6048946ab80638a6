#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// A pseudo-terminal pair standing in for a serial line: the program under
// test opens slavePath() as its port, the test plays the far end on the
// master side. The slave stays open here for the pair's whole life, or reads
// at the master would fail with EIO whenever the program closes its port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Writes bytes at the far end.
    bool write(const QByteArray &bytes);
    // Writes what the line takes now, without waiting; returns how much.
    qint64 offer(const QByteArray &bytes);
    // Reads what the program wrote, waiting up to timeoutMs for the first
    // byte and then taking whatever else arrives within settleMs.
    QByteArray read(int timeoutMs = 1000, int settleMs = 20);
    // Reads until exactly count bytes arrived or timeoutMs passed, while
    // the Qt event loop keeps running.
    QByteArray readExactly(int count, int timeoutMs = 2000);
    // What the program has written and the test not yet read, without
    // waiting: the kernel hands a write at one end to the other at once.
    QByteArray readNow();
    // Bytes written at the far end still wait unread at the program's end.
    bool programHasUnreadInput() const;
    // The line settings the program put on its end.
    termios lineSettings() const;
    // Leaves the line at a speed, as an earlier program would.
    bool setLineSpeed(speed_t speed);
    // The far end's descriptor, for a reader on a thread of its own.
    int masterHandle() const { return m_master; }
    // Fills the line towards the far end (zero bytes through a second
    // descriptor of the program's end) until the system takes no more, as a
    // board that stops reading leaves it. Returns the bytes written.
    qint64 fillLine();
    // The far end goes away, as an unplugged adapter would.
    void closeMaster();
    // Ends the exclusive use a program killed outright leaves on the line,
    // which a last close would end on a real port (the slave stays open here).
    void endExclusiveUse();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
