#pragma once

#include "outputqueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CSerialPort;

// Hands frames to an open port no faster than its line carries them. At
// most about one frame waits in the system beyond the one on the wire; the
// rest waits here, where a frame pushed under a merge key replaces an unsent
// frame of the same key in its place, so that the latest value wins. A timer
// runs only while frames wait for the line.
class COutputPacer : public QObject
{
    Q_OBJECT

public:
    explicit COutputPacer(CSerialPort &port, QObject *parent = nullptr);

    // How long one byte takes on the line, start, parity and stop bits included.
    void setByteTimeUs(double us) { m_byteTimeUs = us; }
    double byteTimeUs() const { return m_byteTimeUs; }

    // Queues a frame and writes what the line has room for.
    void push(const QByteArray &bytes, int mergeKey, int tag);
    // Writes what the line has room for; a timer brings the rest.
    void pump();
    // Drops what waits. With lineIdle, the line also counts as having sent
    // everything (a port just opened).
    void clear(bool lineIdle = false);

    bool isEmpty() const { return m_queue.isEmpty(); }
    qint64 byteCount() const { return m_queue.byteCount(); }
    // Bytes that can still be on their way: what the line's speed says of
    // what was written, or what the driver says it holds, the larger.
    qint64 bytesOnLine() const;

signals:
    // A whole frame has been handed to the system; merged-away frames never are.
    void frameWritten(int mergeKey, int tag);
    // The system refused a write with this error. The owner decides whether
    // the device is gone (and then closes the port); otherwise the pacer
    // tries again a frame's time later.
    void writeFailed(int error);

private:
    void retryIn(qint64 bytes);

    CSerialPort &m_port;
    COutputQueue m_queue;
    QTimer m_timer;
    QElapsedTimer m_lineClock;
    qint64 m_nLineFreeAtUs = 0; // when, on m_lineClock, the line has sent all we gave it
    double m_byteTimeUs = 0;
};
