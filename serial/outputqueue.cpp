#include "outputqueue.h"

void COutputQueue::push(const QByteArray &bytes, int key)
{
    if (key != NoMerge) {
        for (Entry &entry : m_entries) {
            if (entry.key == key && !entry.started) {
                entry.bytes = bytes;
                return;
            }
        }
    }
    m_entries.append({bytes, key, false});
}

void COutputQueue::consume(qsizetype n)
{
    if (m_entries.isEmpty() || n <= 0)
        return;
    Entry &entry = m_entries.first();
    if (n >= entry.bytes.size()) {
        m_entries.removeFirst();
        return;
    }
    entry.bytes.remove(0, n);
    entry.started = true;
}

qint64 COutputQueue::byteCount() const
{
    qint64 total = 0;
    for (const Entry &entry : m_entries)
        total += entry.bytes.size();
    return total;
}
