#pragma once

#include <QByteArray>
#include <QList>

// Frames that wait for the line. A frame pushed under a key replaces an
// unsent frame of the same key in its place, so that while the line is busy
// only the newest value of each setting waits; frames without a key (the
// open-link frame) are never merged or dropped. A frame that has begun to go
// out is never replaced: its rest follows before anything else. Each frame
// carries a tag of the sender's, which travels with it and is replaced with
// it, so that the sender knows which value a frame that went out held.
class COutputQueue
{
public:
    static constexpr int NoMerge = -1;

    void push(const QByteArray &bytes, int key = NoMerge, int tag = 0);
    bool isEmpty() const { return m_entries.isEmpty(); }
    qint64 byteCount() const;
    // What goes out next: the head frame, or what is left of it.
    const QByteArray &head() const { return m_entries.first().bytes; }
    int headKey() const { return m_entries.first().key; }
    int headTag() const { return m_entries.first().tag; }
    // n bytes of the head have gone out; true when that was all of it.
    bool consume(qsizetype n);
    void clear() { m_entries.clear(); }

private:
    struct Entry
    {
        QByteArray bytes;
        int key = NoMerge;
        int tag = 0;
        bool started = false;
    };
    QList<Entry> m_entries;
};
