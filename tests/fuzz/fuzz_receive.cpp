// The receive path from raw bytes through the reply parser to the reply
// action, on the protocol without a window.

#include "dimraprotocol.h"
#include "fuzzcheck.h"
#include "hexconv.h"

#include <QList>
#include <QPair>

#include <cstddef>
#include <cstdint>

namespace {

class Receiver : public CDimraProtocol
{
public:
    QList<QPair<int, int>> moves;

protected:
    void SetSliderPos(int code, int position) override { moves.append({code, position}); }
    void WriteFrame(const QByteArray &) override {}
};

void checkInvariants(const Receiver &r)
{
    FUZZ_CHECK(r.m_nRxState >= 0 && r.m_nRxState <= 7);
    FUZZ_CHECK(CDimraProtocol::RxCounter() >= 0 && CDimraProtocol::RxCounter() <= 3);
    // The counter only runs inside a three-byte reply's data.
    FUZZ_CHECK(r.m_nRxState == 6 || CDimraProtocol::RxCounter() == 0);
    // Every completed reply has been acted on.
    FUZZ_CHECK(r.m_bRxFrameDone == 0);
    // Replies carry bytes: a duty is read from one, a frequency from three.
    for (int duty : {r.m_nChannel1, r.m_nChannel2, r.m_nChannel3})
        FUZZ_CHECK(duty >= 0 && duty <= 255);
    FUZZ_CHECK(r.m_nFrequency >= 0 && r.m_nFrequency <= 255 * 1000 + 65535);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CDimraProtocol::ResetRxCounter();
    Receiver r;
    r.m_nFrequency = 0;

    // Byte by byte, as the bytes of a receive event are handled, checking
    // the parser between every two.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char byte : bytes) {
        r.ReceiveBytes(QByteArray(1, byte));
        checkInvariants(r);
    }
    // Whatever came before, once the parser is back in state 0 a
    // well-formed reply is recognised and takes effect. An idle line (zero
    // bytes) brings it back there within the longest reply, 256 bytes.
    if (r.m_nRxState != 0) {
        r.ReceiveBytes(QByteArray(256, '\0'));
        checkInvariants(r);
        FUZZ_CHECK(r.m_nRxState == 0);
    }
    const int duty = int(size % 101);
    QByteArray reply = QByteArray::fromHex("3DAA0002000100");
    reply[6] = char(duty);
    reply.append(char((0x3D + 0xAA + 0x02 + 0x01 + duty) & 0xFF));
    r.moves.clear();
    r.ReceiveBytes(reply);
    checkInvariants(r);
    FUZZ_CHECK(r.m_nChannel2 == duty);
    FUZZ_CHECK(r.moves.size() == 1 && r.moves.first() == qMakePair(2, duty));
    FUZZ_CHECK(r.m_nRxState == 0);
    return 0;
}
