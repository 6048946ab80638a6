// The receive path from raw bytes through the reply parser to the reply
// reports, on the codec without a window or a port.

#include "codechost.h"
#include "fuzzcheck.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

void checkReports(const CodecHost &host)
{
    // Replies carry bytes: a duty is read from one, a frequency from three;
    // only the four value codes are ever reported.
    for (const auto &[code, value] : host.reports) {
        FUZZ_CHECK(code >= CDimraProtocol::CmdChannel1 && code <= CDimraProtocol::CmdFrequency);
        if (code == CDimraProtocol::CmdFrequency)
            FUZZ_CHECK(value >= 0 && value <= 255 * Dimra::kFrequencyThousand + 65535);
        else
            FUZZ_CHECK(value >= 0 && value <= 255);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CodecHost host;
    int bytesHeard = 0;
    host.codec.SetByteListener([&bytesHeard] { ++bytesHeard; });

    // Byte by byte, as the bytes of a receive event are handled; every byte
    // is heard, and a byte completes at most one reply.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char byte : bytes) {
        const qsizetype before = host.reports.size();
        host.receive(QByteArray(1, byte));
        FUZZ_CHECK(host.reports.size() - before <= 1);
    }
    FUZZ_CHECK(bytesHeard == bytes.size());
    checkReports(host);

    // Whatever came before, an idle line (zero bytes) brings the parser back
    // to the start within the longest reply, 256 bytes, and a well-formed
    // reply after that is recognised and reported once.
    host.receive(QByteArray(256, '\0'));
    checkReports(host);
    const int duty = int(size % (Dimra::kDutyMax + 1));
    QByteArray reply(reinterpret_cast<const char *>(Dimra::kFrameHeader), Dimra::kHeaderSize);
    reply += QByteArray::fromHex("02000100");
    reply[Dimra::kDataOffset] = char(duty);
    reply.append(char((0x3D + 0xAA + 0x02 + 0x01 + duty) & 0xFF));
    host.reports.clear();
    host.receive(reply);
    FUZZ_CHECK(host.reports.size() == 1 && host.reports.first() == qMakePair(int(CDimraProtocol::CmdChannel2), duty));
    return 0;
}
