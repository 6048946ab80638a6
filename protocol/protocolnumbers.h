#pragma once

#include <QLatin1String>

// The numbers of the dimmer board's protocol and of its line, named once for
// the window, the board, the tools and the tests. The function codes and
// what each frame carries are in dimraprotocol.h.
namespace Dimra {

// Function codes run from 0 (open link) to 4 (frequency); an array indexed
// by code has this many entries.
inline constexpr int kCommandCount = 5;

// What the board holds: a PWM frequency in Hz and three duties in percent.
inline constexpr int kFrequencyMin = 25;
inline constexpr int kFrequencyMax = 150000;
inline constexpr int kDutyMin = 0;
inline constexpr int kDutyMax = 100;

// The values a setting takes, both ends included.
struct ValueRange
{
    int min;
    int max;
    constexpr bool contains(long long value) const { return value >= min && value <= max; }
    // The nearer end for a value outside, as a slider holds it.
    constexpr int clamp(int value) const { return value < min ? min : value > max ? max : value; }
};
inline constexpr ValueRange kFrequencyRange{kFrequencyMin, kFrequencyMax};
inline constexpr ValueRange kDutyRange{kDutyMin, kDutyMax};
// A frequency travels as its thousands and the remainder below a thousand.
inline constexpr int kFrequencyThousand = 1000;

// A frame, command or reply: the three header bytes, the function code, the
// data length in two bytes (high byte 0), the data, and a checksum that is
// the low byte of the sum of every byte before it.
inline constexpr unsigned char kFrameHeader[] = {0x3D, 0xAA, 0x00};
inline constexpr int kHeaderSize = 3;
inline constexpr int kCodeOffset = 3;
inline constexpr int kLengthOffset = 4;
inline constexpr int kDataOffset = 6;
// The bytes of a frame that are not data: header, code, length, checksum.
inline constexpr int kFrameOverhead = kDataOffset + 1;

// Tick marks on the window's sliders.
inline constexpr int kFrequencyTick = 5000;
inline constexpr int kDutyTick = 10;

// The line: 9600 baud, no parity, 8 data bits, 1 stop bit; one receive
// event reads at most kReadSize bytes. With its start and stop bits a byte
// takes ten bit times, so the line carries 960 bytes a second.
inline constexpr QLatin1String kLineSettings("9600,n,8,1");
inline constexpr int kReadSize = 1024;
inline constexpr int kLineBytesPerSecond = 960;

} // namespace Dimra
