#pragma once

#include "protocolnumbers.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

// The dimmer board's protocol, with no port and no window: it builds command
// frames and parses replies, and reports each completed reply, its function
// code and value, to whoever listens. The link (link/boardlink.h) puts it on
// a port.
//
// A command frame is 3D AA 00, a function code (0 open link, 1-3 channel
// duty, 4 frequency), a two-byte length (00 00, 00 01 or 00 03), the data and
// the low byte of the sum of all bytes before it. It is built as byte texts
// (hexconv.h) in a frame image and turned into bytes in one piece. Replies
// have the same shape and are parsed one byte text at a time; the checksum
// of a reply is not checked.
class CDimraProtocol
{
public:
    // Function codes, which are also the rows of the window.
    enum Command { CmdOpenLink = 0, CmdChannel1 = 1, CmdChannel2 = 2, CmdChannel3 = 3, CmdFrequency = 4 };
    static_assert(CmdFrequency + 1 == Dimra::kCommandCount, "arrays indexed by command code");

    // The four values the board holds, in the order they are shown, sent
    // and printed: the frequency, then the channels.
    static constexpr int kValueCodes[] = {CmdFrequency, CmdChannel1, CmdChannel2, CmdChannel3};

    // The name a value goes by in scripts, JSON and topics: "frequency",
    // "ch1" to "ch3".
    static QString ValueKey(int code)
    {
        return code == CmdFrequency ? QStringLiteral("frequency") : QStringLiteral("ch%1").arg(code);
    }

    // The range of the value a command sets: the frequency's for its code,
    // a duty's for the channels'.
    static constexpr Dimra::ValueRange RangeOf(int code)
    {
        return code == CmdFrequency ? Dimra::kFrequencyRange : Dimra::kDutyRange;
    }

    // The data bytes a command carries: none to open the link, a duty in
    // one byte, a frequency in three; -1 for a code that is no command.
    static constexpr int DataLength(int code)
    {
        return code == CmdOpenLink ? 0 : code >= CmdChannel1 && code <= CmdChannel3 ? 1 : code == CmdFrequency ? 3 : -1;
    }

    // Hears of every byte once the parser has taken it, before the reply it
    // completes (if any) is reported.
    using ByteListener = std::function<void()>;
    // Hears of every completed reply: the row's code and the value reported.
    using ReplyListener = std::function<void(int code, int value)>;

    CDimraProtocol();
    CDimraProtocol(const CDimraProtocol &) = delete;
    CDimraProtocol &operator=(const CDimraProtocol &) = delete;

    void SetByteListener(ByteListener listener) { m_byteListener = std::move(listener); }
    void SetReplyListener(ReplyListener listener) { m_replyListener = std::move(listener); }

    // Fills the fixed header entries of the frame image; once, before any command.
    void InitTxFrame();
    // The checksum text becomes the byte text of the low byte of the sum of
    // the frame image's first count entries.
    void ComputeChecksum(int count);
    QString ChecksumText() const { return m_strChecksum; }
    // One entry of the frame image, 0 outside it.
    int TxFrameEntry(int index) const;
    // The frame for a command and its value. The value is ignored for the
    // open-link command; codes outside 0-4 give no frame (empty).
    QByteArray BuildFrame(int code, int value);

    // Starts the reply parser afresh, as after opening a port. The stored
    // reply fields keep their values.
    void ResetReplyParser();
    // Feeds one received byte text ("3D ", trailing space included) to the
    // parser. The receive path hands it byte texts only; a wider text is
    // stored as it is, and a frequency made of such texts stops at the int
    // limits.
    void ProcessReplyByte(QString text);
    // Reports a reply the last byte completed; does nothing otherwise.
    void ApplyReply();
    // The receive path for a batch of raw bytes: each byte goes to the
    // parser, and every reply is reported as soon as its last byte is in.
    void ReceiveBytes(const QByteArray &bytes);

private:
    ByteListener m_byteListener;
    ReplyListener m_replyListener;

    // Command frames: the header as byte texts, and the frame image, which
    // keeps the window's 40 entries though no frame uses more than ten.
    QString m_strTxHead1;
    QString m_strTxHead2;
    QString m_strTxHead3;
    int m_nTxFrame[40] = {};
    QString m_strChecksum;

    // Reply parser
    QString m_strRxByte;
    int m_nRxState = 0;
    int m_bRxFrameDone = 0;
    QString m_strRxFunction;
    QString m_strRxHead3;
    QString m_strRxLenHigh;
    QString m_strRxLenLow;
    QString m_strRxData1;
    QString m_strRxData2;
    QString m_strRxData3;
    QString m_strRxData;
    // Data bytes of a three-byte reply stored so far.
    int m_nRxCount = 0;
    // Data bytes still to pass over in a reply whose length is neither 1 nor 3.
    int m_nRxSkip = 0;
};

// Values by command code: 1-3 the channels, 4 the frequency; entry 0 stays
// empty. An entry is empty while its value is unknown.
using BoardValues = std::array<std::optional<int>, Dimra::kCommandCount>;
