#pragma once

#include <QByteArray>
#include <QList>

// Reads command frames out of a byte stream that may arrive in any split:
// 3D AA 00, function code, length (00 nn), data, additive checksum. Bytes
// that do not start a frame are passed over. A frame whose length does not
// fit its command, whose command is unknown or whose checksum is wrong is
// reported as bad, and reading resumes one byte after its start, so that a
// good frame hidden behind a damaged one is still found.
class CFrameReader
{
public:
    enum Verdict { Good, BadChecksum, BadLength, UnknownCommand };

    struct Frame
    {
        Verdict verdict = Good;
        int code = -1;
        QByteArray data; // the data bytes of a good frame
        QByteArray raw;  // the frame's bytes as read (for a bad one, as far as they go)
    };

    // Takes more bytes; returns the frames they completed, in order.
    QList<Frame> feed(const QByteArray &bytes);

    int goodFrames() const { return m_nGood; }
    int badFrames() const { return m_nBad; }
    qint64 skippedBytes() const { return m_nSkipped; }
    // Bytes held back as the start of a frame not yet complete.
    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    int m_nGood = 0;
    int m_nBad = 0;
    qint64 m_nSkipped = 0;
};
