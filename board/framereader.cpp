#include "framereader.h"

namespace {

const char kHeader[] = {'\x3D', '\xAA', '\x00'};

// Where the next header starts, or where a header cut off at the end of
// the buffer might start; the buffer's size if neither.
qsizetype findHeader(const QByteArray &buffer)
{
    const qsizetype size = buffer.size();
    for (qsizetype i = 0; i < size; ++i) {
        qsizetype k = 0;
        while (k < 3 && i + k < size && buffer.at(i + k) == kHeader[k])
            ++k;
        if (k == 3 || i + k == size)
            return i;
    }
    return size;
}

} // namespace

int CFrameReader::DataLength(int code)
{
    switch (code) {
    case 0: return 0;
    case 1:
    case 2:
    case 3: return 1;
    case 4: return 3;
    default: return -1;
    }
}

QList<CFrameReader::Frame> CFrameReader::Feed(const QByteArray &bytes)
{
    QList<Frame> frames;
    m_buffer.append(bytes);

    for (;;) {
        const qsizetype start = findHeader(m_buffer);
        m_nSkipped += start;
        m_buffer.remove(0, start);
        if (m_buffer.size() < 6)
            break;

        const int code = uchar(m_buffer.at(3));
        const int expected = DataLength(code);
        Verdict verdict = Good;
        if (expected < 0)
            verdict = UnknownCommand;
        else if (m_buffer.at(4) != 0 || uchar(m_buffer.at(5)) != expected)
            verdict = BadLength;

        qsizetype total = 6;
        if (verdict == Good) {
            total = 7 + expected;
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
            frame.data = m_buffer.mid(6, total - 7);
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
