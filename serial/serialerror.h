#pragma once

#include <QString>
#include <stdexcept>

// An error raised by the serial component on a property access. It ends the
// handler that made the access; the dialog shows its text to the user at top
// level and the program goes on. The kind says what went wrong, for callers
// that act on it (dimractl's exit codes); the details keep the system's own
// words for a bug report.
class CSerialError : public std::runtime_error
{
public:
    enum Kind {
        Failed,       // anything not told apart below
        NoSuchDevice, // no device behind the port, or nothing at its path
        NoPermission, // the device exists but this user may not open it
        InUse,        // another program holds the port
        NotSerial,    // the path names something that is not a serial device
        DeviceLost,   // the device went away while open
        OtherAdapter, // after a loss, the port leads to another adapter than the one lost
    };

    explicit CSerialError(const QString &text, Kind kind = Failed, const QString &details = QString())
        : std::runtime_error(text.toStdString()), m_text(text), m_kind(kind), m_details(details) {}

    const QString &text() const { return m_text; }
    Kind kind() const { return m_kind; }
    const QString &details() const { return m_details; }

private:
    QString m_text;
    Kind m_kind;
    QString m_details;
};
