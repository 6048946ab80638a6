#pragma once

#include "brokerboards.h"
#include "commport.h"
#include "ctloptions.h"
#include "presetfile.h"

#include <QString>

// What dimractl prints on standard output. As text, one value a line
// ("frequency 1000 Hz", "ch1 40 %", "ch2 unknown"); with --json, one object
// a line with fixed keys, a value not reported being null:
//   {"frequency":1000,"ch1":40,"ch2":null,"ch3":0}
// The port list with --json is one array, an object a line:
//   [
//   {"port":"COM1","entry":"COM1  ttyUSB0 · CH340","device":"/dev/ttyUSB0","stable":"/dev/serial/by-id/...","description":"..."},
//   ...
//   ]
// A broker's boards (list mqtt://host) are listed alike, with the address
// that -p takes first:
//   [
//   {"port":"mqtt://host:1883/bench","id":"bench","name":"Dimra bench","bridge":"pc-1a2b3c4d","online":true},
//   ...
//   ]
// Every returned text ends with a newline.

// All four values, as get prints them.
QString FormatValues(const BoardValues &values, bool json);

// One reply, as monitor prints it: {"ch1":40} with --json.
QString FormatReply(int code, int value, bool json);

// The port numbers and what each opens, as list prints them. As
// text one port a line, tab-separated: COMn, the device, its stable name
// (the by-id or by-path link that keeps the number), what it is; "-" where
// there is none. The entry is the window's, "COM1  ttyUSB0 · CH340".
QString FormatPorts(const CommPortTargets &targets, bool json);

// The boards on the broker, as list mqtt://host prints them. As text one
// board a line, tab-separated: its address, its id, its name, the bridge
// that serves it, online or offline; "-" where there is none.
QString FormatBrokerBoards(const QList<BrokerBoard> &boards, const RemoteAddress &broker, bool json);

// The presets, as preset list prints them. As text one preset a line,
// tab-separated: its name, then the frequency and the three duties it sets,
// "-" for a value it leaves as it is. With --json one array, an object a
// line, with the values it sets alone, named as get names them:
//   [
//   {"name":"Part A","values":{"frequency":20000,"ch1":40,"ch2":60,"ch3":0}},
//   {"name":"暗场","values":{"ch3":85}}
//   ]
QString FormatPresets(const QList<Preset> &presets, bool json);

// One preset, as preset show prints it: the values it sets, as get prints
// them, or with --json one object as in the list.
QString FormatPreset(const Preset &preset, bool json);

// A session's lines, one JSON object each: the answer to a request, with
// get's values and, where the one-shot command would also have said
// something (a value not reported), that message:
//   {"ok":true}
//   {"ok":true,"values":{"frequency":1000,"ch1":40,"ch2":null,"ch3":0},"message":"..."}
//   {"ok":false,"error":{"exit_code":6,"kind":"no_answer","message":"...","details":"..."}}
// and the events: the board linked on its device, and one reply of the
// board while watched.
//   {"event":"linked","device":"/dev/ttyUSB0"}
//   {"event":"report","values":{"ch1":40}}
QString FormatAnswer(const BoardValues *values = nullptr, const QString &message = QString());
QString FormatErrorAnswer(int exitCode, const QString &message, const QString &details = QString());
QString FormatLinkedEvent(const QString &device);
QString FormatReportEvent(int code, int value);
