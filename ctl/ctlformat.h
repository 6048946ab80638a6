#pragma once

#include "commport.h"
#include "ctloptions.h"

#include <QString>

// What dimractl prints on standard output. As text, one value a line
// ("frequency 1000 Hz", "ch1 40 %", "ch2 unknown"); with --json, one object
// a line with fixed keys, a value not reported being null:
//   {"frequency":1000,"ch1":40,"ch2":null,"ch3":0}
//   {"port":"COM1","device":"/dev/ttyUSB0","description":"..."}
// Every returned text ends with a newline.

// The key of a command code: "frequency", "ch1", "ch2", "ch3".
QString ValueKey(int code);

// All four values, as get prints them.
QString FormatValues(const BoardValues &values, bool json);

// One reply, as monitor prints it: {"ch1":40} with --json.
QString FormatReply(int code, int value, bool json);

// Port number n and what it opens, as list prints it; the device is null
// (text: "-") when n leads to none.
QString FormatPort(int n, const CommPortTarget &target, bool json);
