#pragma once

#include "dimraprotocol.h"

#include <QByteArray>
#include <QString>

// One request of a dimractl session: a JSON object on a line of its own.
//   {"op":"set","values":{"frequency":2000,"ch1":40},"verify":false}
//   {"op":"get"}   {"op":"off"}   {"op":"watch","on":true}   {"op":"close"}
//   {"op":"preset","name":"Part A","verify":false}
// The values are named as get prints them and checked as set's options are:
// a request with one value out of range is refused whole, nothing sent. A
// preset is looked up in the user's presets file when the session reads
// the request, and applied as the set of its values.

enum class CtlOp { Set, Get, Off, Watch, Close, Preset };

struct CtlRequest
{
    CtlOp op = CtlOp::Get;
    BoardValues values; // set: the values named; off: the three channels at 0
    bool verify = false; // set, preset: ask the board to report again and compare
    bool on = false;     // watch: reports as events from now on, or no more
    QString preset;      // preset: the name of the preset to apply
    QString error;       // not empty: the line is refused, and this says why
};

CtlRequest ParseCtlRequest(const QByteArray &line);
