#pragma once

#include "protocolnumbers.h"

#include <QByteArray>
#include <QString>

// The dimmer board's protocol without a window or a port: an abstract base
// that builds command frames, parses replies and keeps the value members
// and the link flag. It owns no line: a derived class writes each frame
// (WriteFrame) and shows each reported value (SetSliderPos). The dialog
// derives from it and writes to its serial control; the tests, the
// benchmark and the fuzzers derive their own.
//
// A command frame is 3D AA 00, a function code (0 open link, 1-3 channel
// duty, 4 frequency), a two-byte length (00 00, 00 01 or 00 03), the data and
// the low byte of the sum of all bytes before it. It is built as byte texts
// (hexconv.h) and handed to WriteFrame in one piece. Replies have the same
// shape and are parsed one byte text at a time; a completed reply sets a
// value member and reports it through SetSliderPos, and a channel 1 reply
// marks the link as established, which is what lets slider moves reach the
// board.
class CDimraProtocol
{
public:
    // Function codes, which are also the rows of the dialog.
    enum Command { CmdOpenLink = 0, CmdChannel1 = 1, CmdChannel2 = 2, CmdChannel3 = 3, CmdFrequency = 4 };
    static_assert(CmdFrequency + 1 == Dimra::kCommandCount, "arrays indexed by command code");

    CDimraProtocol();
    virtual ~CDimraProtocol();

    CDimraProtocol(const CDimraProtocol &) = delete;
    CDimraProtocol &operator=(const CDimraProtocol &) = delete;

    // Fills the fixed header entries of the frame image; once, before any command.
    void InitTxFrame();
    // m_strChecksum = byte text of the low byte of the sum of the first count entries.
    void ComputeChecksum(int count);
    // Builds the frame for a command and its value and writes it. The value
    // is ignored for the open-link command; codes outside 0-4 send nothing.
    void SendCommand(int code, int value);

    // Starts the reply parser afresh, as after opening a port: state 0 and
    // the three-byte counter 0. The stored reply fields keep their values.
    void ResetReplyParser();

    // Feeds one received byte text ("3D ", trailing space included) to the
    // parser. The receive path hands it byte texts only; a wider text is
    // stored as it is, and a frequency made of such texts stops at the int
    // limits.
    void ProcessReplyByte(QString text);
    // Acts on a reply the last byte completed; does nothing otherwise.
    void ApplyReply();
    // The receive path for a batch of raw bytes: each byte goes to the
    // parser, and every reply takes effect as soon as its last byte is in.
    void ReceiveBytes(const QByteArray &bytes);

    // Field exchange between edit fields and value members; without a
    // window there is nothing to transfer.
    virtual bool UpdateData(bool bSaveAndValidate = true);

    // The parser's three-byte counter: static, one for the whole process.
    static int RxCounter();
    // Puts the counter back to 0, for harnesses that start parsers afresh.
    static void ResetRxCounter();

    // Command frames
    QString m_strTxHead1 = QStringLiteral("3D");
    QString m_strTxHead2 = QStringLiteral("AA");
    QString m_strTxHead3 = QStringLiteral("00");
    int m_nTxFrame[40] = {};
    QString m_strChecksum;

    // Reply parser
    QString m_strRxByte;
    int m_nRxState = 0;
    int m_bRxFrameDone = 0;
    QString m_strRxFunction;
    QString m_strRxHead3 = QStringLiteral("00");
    QString m_strRxLenHigh = QStringLiteral("00");
    QString m_strRxLenLow;
    QString m_strRxData1;
    QString m_strRxData2;
    QString m_strRxData3;
    QString m_strRxData;
    // Data bytes still to pass over in a reply whose length is neither 1 nor 3.
    int m_nRxSkip = 0;

    // Values: frequency in Hz, duties in percent. Not limited to their
    // ranges; they hold whatever the last transfer put there.
    int m_nFrequency = 25;
    int m_nChannel1 = 0;
    int m_nChannel2 = 0;
    int m_nChannel3 = 0;
    // True once the board has answered with a channel 1 reply since the last disconnect.
    bool m_bLinked = false;

protected:
    // Moves the slider of a row (a Command code) to a position a reply reported.
    virtual void SetSliderPos(int code, int position);
    // Writes one whole frame to the line.
    virtual void WriteFrame(const QByteArray &bytes) = 0;
};
