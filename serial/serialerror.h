#pragma once

#include <QString>
#include <stdexcept>

// An error raised by the serial component on a property access. It ends the
// handler that made the access; the dialog shows its text to the user at top
// level and the program goes on.
class CSerialError : public std::runtime_error
{
public:
    explicit CSerialError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}

    const QString &text() const { return m_text; }

private:
    QString m_text;
};
