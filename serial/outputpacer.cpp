#include "outputpacer.h"

#include "serialport.h"

#include <algorithm>
#include <cmath>

COutputPacer::COutputPacer(CSerialPort &port, QObject *parent)
    : QObject(parent), m_port(port)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_lineClock.start();
    connect(&m_timer, &QTimer::timeout, this, &COutputPacer::pump);
}

void COutputPacer::push(const QByteArray &bytes, int mergeKey, int tag)
{
    m_queue.push(bytes, mergeKey, tag);
    pump();
}

qint64 COutputPacer::bytesOnLine() const
{
    const qint64 now = m_lineClock.nsecsElapsed() / 1000;
    const qint64 modelled = m_nLineFreeAtUs > now ? qint64(std::ceil((m_nLineFreeAtUs - now) / m_byteTimeUs)) : 0;
    return std::max<qint64>(modelled, m_port.queuedOutput());
}

void COutputPacer::retryIn(qint64 bytes)
{
    m_timer.start(std::max(1, int(std::ceil(bytes * m_byteTimeUs / 1000))));
}

void COutputPacer::pump()
{
    while (m_port.isOpen() && !m_queue.isEmpty()) {
        const qint64 next = m_queue.head().size();
        const qint64 onLine = bytesOnLine();
        // Room for one frame beyond the one on the wire, no more.
        if (onLine > next) {
            retryIn(onLine - next);
            return;
        }
        int error = 0;
        const qint64 n = m_port.write(m_queue.head(), &error);
        if (n > 0) {
            const qint64 now = m_lineClock.nsecsElapsed() / 1000;
            m_nLineFreeAtUs = std::max(now, m_nLineFreeAtUs) + qint64(std::ceil(n * m_byteTimeUs));
            const int key = m_queue.headKey();
            const int tag = m_queue.headTag();
            if (m_queue.consume(n))
                emit frameWritten(key, tag);
            continue;
        }
        if (n < 0) {
            emit writeFailed(error);
            if (!m_port.isOpen())
                return; // the device is gone
        }
        // The system takes nothing just now: try again one frame later.
        retryIn(next);
        return;
    }
}

void COutputPacer::clear(bool lineIdle)
{
    m_queue.clear();
    m_timer.stop();
    if (lineIdle)
        m_nLineFreeAtUs = 0;
}
