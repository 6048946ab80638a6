// The virtual board's frame reader on arbitrary bytes in arbitrary splits,
// and every frame the app builds read back with its value.

#include "boardmodel.h"
#include "codechost.h"
#include "framereader.h"
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

bool sameFrames(const QList<CFrameReader::Frame> &a, const QList<CFrameReader::Frame> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].verdict != b[i].verdict || a[i].code != b[i].code || a[i].raw != b[i].raw || a[i].data != b[i].data)
            return false;
    return true;
}

void checkFrame(const CFrameReader::Frame &f)
{
    if (f.verdict != CFrameReader::Good)
        return;
    FUZZ_CHECK(CDimraProtocol::DataLength(f.code) >= 0);
    FUZZ_CHECK(f.data.size() == CDimraProtocol::DataLength(f.code));
    FUZZ_CHECK(f.raw.size() == Dimra::kFrameOverhead + f.data.size());
    uint sum = 0;
    for (qsizetype i = 0; i + 1 < f.raw.size(); ++i)
        sum += uchar(f.raw.at(i));
    FUZZ_CHECK(uchar(sum) == uchar(f.raw.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    // The first bytes choose the split and the app's frame; the rest is the line.
    const int chunk = 1 + data[0] % 16;
    const int code = CDimraProtocol::kValueCodes[data[1] % 4];
    const QByteArray line(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    CFrameReader whole;
    const QList<CFrameReader::Frame> all = whole.feed(line);
    CFrameReader pieces;
    QList<CFrameReader::Frame> split;
    for (qsizetype i = 0; i < line.size(); i += chunk)
        split += pieces.feed(line.mid(i, chunk));

    // The split makes no difference.
    FUZZ_CHECK(sameFrames(all, split));
    FUZZ_CHECK(whole.goodFrames() + whole.badFrames() == all.size());
    FUZZ_CHECK(whole.skippedBytes() == pieces.skippedBytes());
    for (const CFrameReader::Frame &f : all)
        checkFrame(f);

    // A frame the app builds is accepted with the same value, as long as
    // no complete frame header is left waiting for the rest of its frame.
    using namespace Dimra;
    const int value = code == CDimraProtocol::CmdFrequency
        ? kFrequencyMin + int((uint(data[2]) * 1031u + size * 7u) % uint(kFrequencyMax - kFrequencyMin + 1))
        : data[2] % (kDutyMax + 1);
    const QByteArray frame = CodecHost().frameFor(code, value);
    const bool clean = whole.bufferedBytes() < Dimra::kDataOffset;
    const QList<CFrameReader::Frame> after = whole.feed(frame);
    if (clean) {
        FUZZ_CHECK(!after.isEmpty());
        const CFrameReader::Frame &last = after.back();
        FUZZ_CHECK(last.verdict == CFrameReader::Good && last.code == code);
        FUZZ_CHECK(CBoardModel::decodeValue(code, last.data) == value);
    }
    return 0;
}
