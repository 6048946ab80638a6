#include "dimraprotocol.h"

#include "hexconv.h"

#include <QtGlobal>
#include <cstdint>
#include <limits>

namespace {

// A frame's length is two bytes, the high one always 0.
const QString kLengthHighText = IntToHex(0);
// The texts of the low length byte of the replies that carry a value.
const QString kDutyLengthText = IntToHex(CDimraProtocol::DataLength(CDimraProtocol::CmdChannel1));
const QString kFrequencyLengthText = IntToHex(CDimraProtocol::DataLength(CDimraProtocol::CmdFrequency));

// The number a reply's data texts make, saturated to int. Byte texts stay
// far below the limits; texts wider than a byte, which only a caller of
// ProcessReplyByte can give, may not.
int saturate(int64_t value)
{
    constexpr int64_t lo = std::numeric_limits<int>::min();
    constexpr int64_t hi = std::numeric_limits<int>::max();
    return int(value < lo ? lo : value > hi ? hi : value);
}

} // namespace

CDimraProtocol::CDimraProtocol()
    : m_strTxHead1(IntToHex(Dimra::kFrameHeader[0]))
    , m_strTxHead2(IntToHex(Dimra::kFrameHeader[1]))
    , m_strTxHead3(IntToHex(Dimra::kFrameHeader[2]))
    , m_strRxHead3(m_strTxHead3)
    , m_strRxLenHigh(kLengthHighText)
{
}

void CDimraProtocol::InitTxFrame()
{
    m_nTxFrame[0] = HexToInt(m_strTxHead1);
    m_nTxFrame[1] = HexToInt(m_strTxHead2);
    m_nTxFrame[2] = HexToInt(m_strTxHead3);
    m_nTxFrame[Dimra::kLengthOffset] = 0;
}

void CDimraProtocol::ComputeChecksum(int count)
{
    count = qBound(0, count, int(std::size(m_nTxFrame)));
    // Only the low byte matters; unsigned addition keeps any values defined.
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += static_cast<uint32_t>(m_nTxFrame[i]);
    m_strChecksum = IntToHex(int(sum % 256));
}

int CDimraProtocol::TxFrameEntry(int index) const
{
    return index >= 0 && index < int(std::size(m_nTxFrame)) ? m_nTxFrame[index] : 0;
}

QByteArray CDimraProtocol::BuildFrame(int code, int value)
{
    const int length = DataLength(code);
    if (length < 0)
        return QByteArray();

    using namespace Dimra;
    QString str = m_strTxHead1 + m_strTxHead2 + m_strTxHead3 + IntToHex(code) + kLengthHighText + IntToHex(length);
    m_nTxFrame[kCodeOffset] = code;
    m_nTxFrame[kLengthOffset + 1] = length;
    switch (code) {
    case CmdOpenLink:
        break;
    case CmdFrequency: {
        // Thousands and the remainder below a thousand travel separately.
        const int t = value / kFrequencyThousand;
        const int r = value % kFrequencyThousand;
        const int m = r / 256;
        const int l = r % 256;
        m_nTxFrame[kDataOffset] = t;
        m_nTxFrame[kDataOffset + 1] = m;
        m_nTxFrame[kDataOffset + 2] = l;
        str += IntToHex(t) + IntToHex(m) + IntToHex(l);
        break;
    }
    default:
        m_nTxFrame[kDataOffset] = value;
        str += IntToHex(value);
        break;
    }
    ComputeChecksum(kDataOffset + length);
    str += m_strChecksum;

    QByteArray bytes;
    HexTextToBytes(str, bytes);
    return bytes;
}

void CDimraProtocol::ResetReplyParser()
{
    m_nRxState = 0;
    m_nRxSkip = 0;
    m_bRxFrameDone = 0;
    m_nRxCount = 0;
}

void CDimraProtocol::ProcessReplyByte(QString text)
{
    m_strRxByte = text.remove(QLatin1Char(' '));
    // Only the byte that completes a reply (its checksum, state 7) raises
    // the flag; every other byte lowers it.
    m_bRxFrameDone = 0;

    switch (m_nRxState) {
    case 0:
        m_nRxState = m_strRxByte == m_strTxHead1 ? 1 : 0;
        break;
    case 1:
        m_nRxState = m_strRxByte == m_strTxHead2 ? 2 : 0;
        break;
    case 2:
        m_nRxState = m_strRxByte == m_strRxHead3 ? 3 : 0;
        break;
    case 3:
        m_strRxFunction = m_strRxByte;
        m_nRxState = 4;
        break;
    case 4:
        m_nRxState = m_strRxByte == m_strRxLenHigh ? 5 : 0;
        break;
    case 5:
        m_strRxLenLow = m_strRxByte;
        m_nRxSkip = HexToInt(m_strRxLenLow);
        m_nRxState = 6;
        break;
    case 6:
        if (m_strRxLenLow == kDutyLengthText) {
            m_strRxData = m_strRxByte;
            m_nRxState = 7;
        } else if (m_strRxLenLow == kFrequencyLengthText) {
            ++m_nRxCount;
            if (m_nRxCount == 1) {
                m_strRxData1 = m_strRxByte;
            } else if (m_nRxCount == 2) {
                m_strRxData2 = m_strRxByte;
            } else if (m_nRxCount == 3) {
                m_strRxData3 = m_strRxByte;
                m_nRxCount = 0;
                m_nRxState = 7;
            }
        } else if (m_nRxSkip > 0) {
            // A reply of another length: pass over its data bytes...
            --m_nRxSkip;
        } else {
            // ...and then its checksum, with no effect, so the parser never
            // stays stuck here.
            m_nRxCount = 0;
            m_nRxState = 0;
        }
        break;
    case 7:
        m_bRxFrameDone = 1;
        m_nRxState = 0;
        break;
    default:
        m_nRxState = 0;
        break;
    }

    if (m_byteListener)
        m_byteListener();
}

void CDimraProtocol::ApplyReply()
{
    if (m_bRxFrameDone == 0)
        return;
    m_bRxFrameDone = 0;

    // "1A" reads as 1, "4F" as 4: the function code is read as a decimal
    // number up to its first letter.
    const int code = DecimalLeadingDigits(m_strRxFunction);
    int value = 0;
    switch (code) {
    case CmdChannel1:
    case CmdChannel2:
    case CmdChannel3:
        value = HexToInt(m_strRxData);
        break;
    case CmdFrequency:
        value = saturate(int64_t(HexToInt(m_strRxData1)) * Dimra::kFrequencyThousand
                         + HexToInt(m_strRxData2 + m_strRxData3));
        break;
    default:
        return;
    }
    if (m_replyListener)
        m_replyListener(code, value);
}

void CDimraProtocol::ReceiveBytes(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        ProcessReplyByte(ReceivedByteText(static_cast<unsigned char>(byte)));
        ApplyReply();
    }
}
