#include "dimraprotocol.h"

#include "hexconv.h"

#include <QtGlobal>
#include <cstdint>
#include <limits>

namespace {

// Counts the data bytes of a three-byte reply. Static, not a member: one
// counter serves the process, and only storing the third byte (or leaving
// a reply of another length) resets it.
qint8 s_nRxCount = 0;

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

CDimraProtocol::CDimraProtocol() = default;
CDimraProtocol::~CDimraProtocol() = default;

int CDimraProtocol::RxCounter()
{
    return s_nRxCount;
}

void CDimraProtocol::ResetRxCounter()
{
    s_nRxCount = 0;
}

bool CDimraProtocol::UpdateData(bool)
{
    return true;
}

void CDimraProtocol::SetSliderPos(int, int)
{
}

void CDimraProtocol::InitTxFrame()
{
    m_nTxFrame[0] = HexToInt(m_strTxHead1);
    m_nTxFrame[1] = HexToInt(m_strTxHead2);
    m_nTxFrame[2] = HexToInt(m_strTxHead3);
    m_nTxFrame[4] = 0;
}

void CDimraProtocol::ComputeChecksum(int count)
{
    count = qBound(0, count, int(std::size(m_nTxFrame)));
    // Only the low byte matters; unsigned addition keeps any values defined.
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += static_cast<uint32_t>(m_nTxFrame[i]);
    m_strChecksum = IntToHex(int(sum % 256));
    UpdateData(false);
}

void CDimraProtocol::SendCommand(int code, int value)
{
    QString str;
    const QString header = m_strTxHead1 + m_strTxHead2 + m_strTxHead3;
    switch (code) {
    case CmdOpenLink:
        m_nTxFrame[3] = 0;
        m_nTxFrame[5] = 0;
        ComputeChecksum(6);
        str = header + QStringLiteral("00") + QStringLiteral("0000") + m_strChecksum;
        break;
    case CmdChannel1:
    case CmdChannel2:
    case CmdChannel3:
        m_nTxFrame[3] = code;
        m_nTxFrame[5] = 1;
        m_nTxFrame[6] = value;
        ComputeChecksum(7);
        str = header + IntToHex(code) + QStringLiteral("0001") + IntToHex(value) + m_strChecksum;
        break;
    case CmdFrequency: {
        // Thousands and the remainder below 1000 travel separately.
        const int t = value / 1000;
        const int r = value % 1000;
        const int m = r / 256;
        const int l = r % 256;
        m_nTxFrame[3] = 4;
        m_nTxFrame[5] = 3;
        m_nTxFrame[6] = t;
        m_nTxFrame[7] = m;
        m_nTxFrame[8] = l;
        ComputeChecksum(9);
        str = header + QStringLiteral("04") + QStringLiteral("0003") + IntToHex(t) + IntToHex(m)
            + IntToHex(l) + m_strChecksum;
        break;
    }
    default:
        return;
    }

    QByteArray bytes;
    HexTextToBytes(str, bytes);
    WriteFrame(bytes);
}

void CDimraProtocol::ResetReplyParser()
{
    m_nRxState = 0;
    m_nRxSkip = 0;
    m_bRxFrameDone = 0;
    s_nRxCount = 0;
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
        if (m_strRxLenLow == QLatin1String("01")) {
            m_strRxData = m_strRxByte;
            m_nRxState = 7;
        } else if (m_strRxLenLow == QLatin1String("03")) {
            ++s_nRxCount;
            if (s_nRxCount == 1) {
                m_strRxData1 = m_strRxByte;
            } else if (s_nRxCount == 2) {
                m_strRxData2 = m_strRxByte;
            } else if (s_nRxCount == 3) {
                m_strRxData3 = m_strRxByte;
                s_nRxCount = 0;
                m_nRxState = 7;
            }
        } else if (m_nRxSkip > 0) {
            // A reply of another length: pass over its data bytes...
            --m_nRxSkip;
        } else {
            // ...and then its checksum, with no effect, so the parser never
            // stays stuck here.
            s_nRxCount = 0;
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

    UpdateData(false);
}

void CDimraProtocol::ApplyReply()
{
    if (m_bRxFrameDone == 0)
        return;

    switch (DecimalLeadingDigits(m_strRxFunction)) {
    case CmdChannel1:
        m_bLinked = true;
        m_nChannel1 = HexToInt(m_strRxData);
        SetSliderPos(CmdChannel1, m_nChannel1);
        break;
    case CmdChannel2:
        m_nChannel2 = HexToInt(m_strRxData);
        SetSliderPos(CmdChannel2, m_nChannel2);
        break;
    case CmdChannel3:
        m_nChannel3 = HexToInt(m_strRxData);
        SetSliderPos(CmdChannel3, m_nChannel3);
        break;
    case CmdFrequency:
        m_nFrequency = saturate(int64_t(HexToInt(m_strRxData1)) * 1000
                                + HexToInt(m_strRxData2 + m_strRxData3));
        SetSliderPos(CmdFrequency, m_nFrequency);
        break;
    default:
        break;
    }

    m_bRxFrameDone = 0;
    UpdateData(false);
}

void CDimraProtocol::ReceiveBytes(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        ProcessReplyByte(ReceivedByteText(static_cast<unsigned char>(byte)));
        ApplyReply();
    }
}
