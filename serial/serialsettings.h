#pragma once

#include <QString>
#include <optional>

// Line settings in the "baud,parity,data bits,stop bits" notation of the
// Settings property, for example "9600,n,8,1".
struct SerialSettings
{
    enum Parity { NoParity, EvenParity, OddParity, MarkParity, SpaceParity };
    enum StopBits { OneStop, OneAndHalfStop, TwoStop };

    qint32 baudRate = 9600;
    Parity parity = NoParity;
    int dataBits = 8; // 5 to 8
    StopBits stopBits = OneStop;

    bool operator==(const SerialSettings &o) const
    {
        return baudRate == o.baudRate && parity == o.parity && dataBits == o.dataBits && stopBits == o.stopBits;
    }
};

// Parses a settings text; nothing for a malformed one. Parity is one of
// n, e, o, m, s (either case), data bits 5 to 8, stop bits 1, 1.5 or 2.
std::optional<SerialSettings> ParseSerialSettings(const QString &text);

// How long one byte takes on a line with these settings, in microseconds:
// start bit, data bits, parity bit and stop bits.
double ByteTimeUs(const SerialSettings &settings);
