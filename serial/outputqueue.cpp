#include "outputqueue.h"

void COutputQueue::push(const QByteArray &bytes, int key, int tag)
{
    if (key != NoMerge) {
        for (Entry &entry : m_entries) {
            if (entry.key == key && !entry.started) {
                entry.bytes = bytes;
                entry.tag = tag;
                return;
            }
        }
    }
    m_entries.append({bytes, key, tag, false});
}

bool COutputQueue::consume(qsizetype n)
{
    if (m_entries.isEmpty() || n <= 0)
        return false;
    Entry &entry = m_entries.first();
    if (n >= entry.bytes.size()) {
        m_entries.removeFirst();
        return true;
    }
    entry.bytes.remove(0, n);
    entry.started = true;
    return false;
}

qint64 COutputQueue::byteCount() const
{
    qint64 total = 0;
    for (const Entry &entry : m_entries)
        total += entry.bytes.size();
    return total;
}
