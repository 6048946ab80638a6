#include "jsontext.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <cstring>

namespace {

// What a strict reading finds is written in English and told in the run's
// language.
struct JsonText
{
    Q_DECLARE_TR_FUNCTIONS(JsonText)
};

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

// Reads a text that Qt's reader has taken, so it need not tell any other
// fault; it still never reads past the end, and ends on any text.
class Reader
{
public:
    Reader(const QByteArray &text, QList<JsonFault> *faults)
        : m_text(text), m_at(text.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0), m_faults(faults)
    {
    }

    JsonNode value()
    {
        space();
        JsonNode node;
        node.begin = m_at;
        node.kind = peek();
        if (node.kind == '{' || node.kind == '[') {
            ++m_at;
            QSet<QString> seen;
            for (space(); peek() != 0 && peek() != '}' && peek() != ']'; space()) {
                if (node.kind == '{') {
                    const qsizetype keyAt = m_at;
                    const QString key = string();
                    if (seen.contains(key))
                        m_faults->append({keyAt, JsonText::tr("\"%1\" is given twice").arg(key), key});
                    seen.insert(key);
                    node.keys.append(key);
                    space();
                    ++m_at; // the colon
                }
                node.items.push_back(value());
                space();
                if (peek() == ',')
                    ++m_at;
            }
            ++m_at;
        } else if (node.kind == '"') {
            node.string = string();
        } else {
            while (m_at < m_text.size() && !std::strchr(",]} \t\r\n", m_text.at(m_at)))
                ++m_at;
        }
        node.end = std::min(m_at, m_text.size());
        return node;
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text.at(m_at) : 0; }

    void space()
    {
        while (peek() != 0 && std::strchr(" \t\r\n", peek()))
            ++m_at;
    }

    // From the opening quote to just after the closing one.
    QString string()
    {
        QString text;
        qsizetype run = ++m_at;
        for (; m_at < m_text.size() && m_text.at(m_at) != '"'; ++m_at) {
            if (m_text.at(m_at) != '\\')
                continue;
            text += QString::fromUtf8(m_text.mid(run, m_at - run));
            static const char escapes[] = "\"\\/bfnrt", meanings[] = "\"\\/\b\f\n\r\t";
            const char e = ++m_at < m_text.size() ? m_text.at(m_at) : 0;
            if (e == 'u') {
                text += QChar(m_text.mid(m_at + 1, 4).toUShort(nullptr, 16));
                m_at += 4;
            } else if (e != 0 && std::strchr(escapes, e)) {
                text += QLatin1Char(meanings[std::strchr(escapes, e) - escapes]);
            } else {
                m_faults->append({m_at - 1, JsonText::tr("%1 is not a JSON escape")
                                                .arg(QString::fromUtf8(m_text.mid(m_at - 1, 2)))});
            }
            run = m_at + 1;
        }
        text += QString::fromUtf8(m_text.mid(run, m_at - run));
        ++m_at;
        return text;
    }

    const QByteArray &m_text;
    qsizetype m_at;
    QList<JsonFault> *m_faults;
};

} // namespace

const JsonNode *JsonNode::member(const QString &key) const
{
    const qsizetype i = keys.indexOf(key);
    return i < 0 ? nullptr : &items.at(size_t(i));
}

JsonNode ReadJsonText(const QByteArray &text, QList<JsonFault> *faults)
{
    return Reader(text, faults).value();
}

TextPosition PositionInText(const QByteArray &text, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const QByteArray before = text.left(offset);
    qsizetype lineStart = before.lastIndexOf('\n') + 1;
    if (lineStart == 0 && before.startsWith(kByteOrderMark))
        lineStart = kByteOrderMark.size();
    TextPosition position;
    position.line = int(before.count('\n')) + 1;
    // A character is a byte that does not continue one of UTF-8's sequences.
    for (qsizetype i = lineStart; i < offset; ++i)
        position.column += (uchar(text.at(i)) & 0xC0) != 0x80;
    return position;
}

QString JsonValueText(const QJsonValue &value)
{
    // Qt's own writing; the brackets of the one-item array come off.
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}
