#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// A JSON text that Qt's reader has taken, read once more for what that
// reader does not tell: where each value stands, so that a message can name
// its line, the members of an object in the order they are written, a key
// given twice in one object (Qt keeps one of the two) and an escape that
// JSON does not know (Qt reads \e as e).

// One value as it stands in the text.
struct JsonNode
{
    qsizetype begin = 0; // its first byte in the text
    qsizetype end = 0;   // the byte after its last
    char kind = 0;       // its first byte: '{', '[', '"', or a number's or a literal's
    QString string;      // a string's text, its escapes undone
    QStringList keys;            // an object's keys, escapes undone, in the order written
    std::vector<JsonNode> items; // an object's values (by keys) or an array's items

    // The value of the first member named key, null when there is none.
    const JsonNode *member(const QString &key) const;
    // The value as it is written in text, the text it was read from.
    QByteArray textIn(const QByteArray &text) const { return text.mid(begin, end - begin); }
};

// Something Qt's reader lets through and a strict reader refuses.
struct JsonFault
{
    qsizetype offset = 0; // where it stands in the text
    QString text;         // what it is: "\"ch1\" is given twice"
    QString key;          // the key given twice; empty for an escape
};

// The top-level value of text, which Qt's reader has taken (a UTF-8 byte
// order mark before it is passed over), and what it holds that Qt's reader
// does not refuse.
JsonNode ReadJsonText(const QByteArray &text, QList<JsonFault> *faults);

// The line and column of a byte offset in the text, both from 1; the
// column counts characters (Unicode code points), not bytes.
struct TextPosition
{
    int line = 1;
    int column = 1;
};
TextPosition PositionInText(const QByteArray &text, qsizetype offset);

// A value as compact JSON text: a string in quotes, escaped as JSON has it.
QString JsonValueText(const QJsonValue &value);
