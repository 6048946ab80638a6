#include "framereader.h"

#include "dimraprotocol.h"

using namespace Dimra;

namespace {

// Where the next header starts, or where a header cut off at the end of
// the buffer might start; the buffer's size if neither.
qsizetype findHeader(const QByteArray &buffer)
{
    const qsizetype size = buffer.size();
    for (qsizetype i = 0; i < size; ++i) {
        qsizetype k = 0;
        while (k < kHeaderSize && i + k < size && uchar(buffer.at(i + k)) == kFrameHeader[k])
            ++k;
        if (k == kHeaderSize || i + k == size)
            return i;
    }
    return size;
}

} // namespace

QList<CFrameReader::Frame> CFrameReader::feed(const QByteArray &bytes)
{
    QList<Frame> frames;
    m_buffer.append(bytes);

    for (;;) {
        const qsizetype start = findHeader(m_buffer);
        m_nSkipped += start;
        m_buffer.remove(0, start);
        if (m_buffer.size() < kDataOffset)
            break;

        const int code = uchar(m_buffer.at(kCodeOffset));
        const int expected = CDimraProtocol::DataLength(code);
        Verdict verdict = Good;
        if (expected < 0)
            verdict = UnknownCommand;
        else if (m_buffer.at(kLengthOffset) != 0 || uchar(m_buffer.at(kLengthOffset + 1)) != expected)
            verdict = BadLength;

        qsizetype total = kDataOffset;
        if (verdict == Good) {
            total = kFrameOverhead + expected;
            if (m_buffer.size() < total)
                break; // wait for the rest
            uint sum = 0;
            for (qsizetype i = 0; i < total - 1; ++i)
                sum += uchar(m_buffer.at(i));
            if (uchar(sum) != uchar(m_buffer.at(total - 1)))
                verdict = BadChecksum;
        }

        Frame frame;
        frame.verdict = verdict;
        frame.code = code;
        frame.raw = m_buffer.left(total);
        if (verdict == Good) {
            frame.data = m_buffer.mid(kDataOffset, expected);
            m_buffer.remove(0, total);
            ++m_nGood;
        } else {
            m_buffer.remove(0, 1); // resynchronise just after this header
            ++m_nBad;
        }
        frames.append(frame);
    }
    return frames;
}
