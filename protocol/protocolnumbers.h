#pragma once

#include <QLatin1String>

// The numbers of the dimmer board's protocol and of its line, named once for
// the window, the board, the tools and the tests.
namespace Dimra {

// Function codes run from 0 (open link) to 4 (frequency); an array indexed
// by code has this many entries.
inline constexpr int kCommandCount = 5;

// What the board holds: a PWM frequency in Hz and three duties in percent.
inline constexpr int kFrequencyMin = 25;
inline constexpr int kFrequencyMax = 150000;
inline constexpr int kDutyMin = 0;
inline constexpr int kDutyMax = 100;

// Tick marks on the window's sliders.
inline constexpr int kFrequencyTick = 5000;
inline constexpr int kDutyTick = 10;

// The port list offers COM1 to COM12.
inline constexpr int kPortCount = 12;

// The line: 9600 baud, no parity, 8 data bits, 1 stop bit; one receive
// event reads at most kReadSize bytes.
inline constexpr QLatin1String kLineSettings("9600,n,8,1");
inline constexpr int kReadSize = 1024;

} // namespace Dimra
