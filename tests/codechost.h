#pragma once

#include "dimraprotocol.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// The codec as a host uses it, without a window or a port: frames built as
// the link builds them, and replies parsed with what they report kept.
class CodecHost
{
public:
    CodecHost()
    {
        codec.InitTxFrame();
        codec.SetReplyListener([this](int code, int value) {
            reports.append({code, value});
            values[code] = value;
        });
    }

    // The frame a command builds.
    QByteArray frameFor(int code, int value) { return codec.BuildFrame(code, value); }
    void receive(const QByteArray &bytes) { codec.ReceiveBytes(bytes); }

    // The value last reported for a code, or otherwise when none was.
    int valueOr(int code, int otherwise) const { return values[code].value_or(otherwise); }
    // A channel 1 reply has been reported: what links a host to the board.
    bool isLinked() const { return values[CDimraProtocol::CmdChannel1].has_value(); }

    CDimraProtocol codec;
    QList<QPair<int, int>> reports; // (code, value), in the order reported
    BoardValues values;
};
