#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A configuration file in INI format, read with the line of each section and
// key, so that whoever checks the values can name the line of one it
// refuses. A line is a [section], a key=value or a comment (';' or '#'
// first). After a value, a ';' outside double quotes starts a comment; a
// value in double quotes loses them, and inside them \" and \\ stand for "
// and \.
//
// Only what is read exactly is taken. These refuse the file, naming their
// line: bytes that are not UTF-8, a control character other than a tab, a
// line that is neither a section nor a key, a key before any section, a
// section or a section's key given twice, a quote not closed, and in a
// quoted value a \ before any other character.

struct IniEntry
{
    int line = 0;
    QString key;
    QString value;
};

struct IniSection
{
    int line = 0;
    QString name;
    QList<IniEntry> entries;
};

// The sections of content in the file's order; nothing, with error set to
// "file:line: why", when it cannot be read exactly.
std::optional<QList<IniSection>> readIni(const QString &file, const QByteArray &content, QString *error);
// The same for the file itself; nothing, with error set, for what is no
// file that can be read or is too large to be a configuration.
std::optional<QList<IniSection>> readIniFile(const QString &file, QString *error);

// A value as true or false: true, yes, on or 1, false, no, off or 0, in any
// case; nothing for anything else.
std::optional<bool> iniBool(const QString &value);
