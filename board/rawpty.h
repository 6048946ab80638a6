#pragma once

#include <QString>
#include <optional>

// A pseudo-terminal pair in raw mode: a program opens slavePath as its
// serial port, the other end reads and writes the master, which is
// non-blocking. Both descriptors belong to the caller.
struct RawPty
{
    int master = -1;
    int slave = -1;
    QString slavePath;
};

std::optional<RawPty> OpenRawPty();
