#pragma once

#include <QString>

#include <cstdio>

// How a program's text reaches a standard stream. A console on Windows
// takes the text itself as UTF-16 (WriteConsoleW), so that it reads right
// whatever code page the console has (936 on a Chinese Windows); anything
// else, a pipe, a file or a terminal on Linux, gets UTF-8 bytes, which is
// what scripts reading the output take.
enum class TextWay { ConsoleUtf16, Utf8Bytes };

#ifdef Q_OS_WIN
// The way for a handle of the system's file type fileType (GetFileType's
// answer) that does or does not answer GetConsoleMode. Only a character
// device with a console mode is a console: NUL and a serial port are
// character devices too, and a terminal emulator's pipe is a pipe.
TextWay TextWayFor(unsigned long fileType, bool consoleMode);
#endif

// Writes text to stream when it is a console, after what stream holds;
// false, having written nothing, when stream is no console (write it as
// UTF-8 bytes then).
bool WriteConsoleText(FILE *stream, const QString &text);
