#pragma once

#include "dimraprotocol.h"

#include <QByteArray>
#include <QList>

// The protocol without a window or a port: keeps every frame it builds
// instead of writing it, and parses replies as the dialog does.
class CapturingProtocol : public CDimraProtocol
{
public:
    CapturingProtocol() { InitTxFrame(); }

    QList<QByteArray> frames;

    // The frame a command builds.
    QByteArray frameFor(int code, int value)
    {
        SendCommand(code, value);
        return frames.isEmpty() ? QByteArray() : frames.takeLast();
    }

protected:
    void WriteFrame(const QByteArray &bytes) override { frames.append(bytes); }
};
