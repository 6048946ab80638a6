#include "inireader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

namespace {

// The reader's texts are written in English and told in the run's language.
struct IniReader
{
    Q_DECLARE_TR_FUNCTIONS(IniReader)
};

// A configuration file larger than this is no configuration.
constexpr qint64 kMaxConfigBytes = 1 << 20;

std::nullopt_t refuse(QString *error, const QString &why)
{
    *error = why;
    return std::nullopt;
}

// The value of "key=value": a ';' outside double quotes starts a comment,
// and a value in double quotes loses them, \" and \\ inside standing for "
// and \ (quotes within a value stay as written). Nothing when a quote is
// not closed: where the value ends, and whether a ';' is part of it, cannot
// be told. Nothing either, with escape set to it, for a \ before any other
// character: "a\nb" read as "anb" would not be what the file says.
std::optional<QString> iniValue(const QString &text, QString *escape)
{
    QString value;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == QLatin1Char('\\') && quoted && i + 1 < text.size()) {
            value += c;
            c = text.at(++i); // \" does not end the quotes
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(';') && !quoted) {
            break;
        }
        value += c;
    }
    if (quoted)
        return std::nullopt;
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
        const QString inner = value.mid(1, value.size() - 2);
        value.clear();
        for (qsizetype i = 0; i < inner.size(); ++i) {
            if (inner.at(i) == QLatin1Char('\\') && i + 1 < inner.size()) {
                const QChar next = inner.at(++i);
                if (next != QLatin1Char('"') && next != QLatin1Char('\\'))
                    return refuse(escape, inner.mid(i - 1, next.isHighSurrogate() ? 3 : 2));
                value += next;
            } else {
                value += inner.at(i);
            }
        }
    }
    return value;
}

// What keeps a line from being read as it was written: bytes that are not
// UTF-8, or a control character (a NUL, an escape) other than a tab.
std::optional<QString> lineProblem(const QString &line, bool utf8)
{
    if (!utf8)
        return IniReader::tr("the line is not UTF-8 text");
    for (const QChar c : line)
        if (c != QLatin1Char('\t') && c.category() == QChar::Other_Control)
            return IniReader::tr("the line holds the control character %1").arg(c);
    return std::nullopt;
}

} // namespace

std::optional<QList<IniSection>> readIni(const QString &file, const QByteArray &content, QString *error)
{
    QList<IniSection> sections;
    QHash<QString, int> sectionLines;
    QHash<QString, int> keyLines; // of the current section
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        // The decoder drops the byte-order mark that Notepad writes first.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = QString(decoder(lines.at(i))).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (const std::optional<QString> problem = lineProblem(line, !decoder.hasError()))
            return refuse(error, QStringLiteral("%1:%2: %3").arg(file).arg(number).arg(*problem));
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (const int first = sectionLines.value(name); first > 0)
                return refuse(error, IniReader::tr("%1:%2: [%3] again; it begins on line %4 too, and one section "
                                                   "takes all its keys")
                                         .arg(file).arg(number).arg(name).arg(first));
            sectionLines.insert(name, number);
            keyLines.clear();
            sections.append({number, name, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        if (equals <= 0 || key.isEmpty())
            return refuse(error,
                          IniReader::tr("%1:%2: neither a [section] nor a key=value line").arg(file).arg(number));
        if (sections.isEmpty())
            return refuse(error,
                          IniReader::tr("%1:%2: \"%3\" stands outside a section").arg(file).arg(number).arg(key));
        if (const int first = keyLines.value(key); first > 0)
            return refuse(error, IniReader::tr("%1:%2: %3 again in [%4]; it is on line %5 too")
                                     .arg(file).arg(number).arg(key, sections.constLast().name).arg(first));
        keyLines.insert(key, number);
        QString escape;
        const std::optional<QString> value = iniValue(line.mid(equals + 1), &escape);
        if (!value && escape.isEmpty())
            return refuse(error, IniReader::tr("%1:%2: the value of %3 opens a quote that it does not close")
                                     .arg(file).arg(number).arg(key));
        if (!value)
            return refuse(error, IniReader::tr("%1:%2: the value of %3 holds the escape %4; in quotes only \\\" "
                                               "and \\\\ are escapes")
                                     .arg(file).arg(number).arg(key, escape));
        sections.last().entries.append({number, key, *value});
    }
    return sections;
}

std::optional<QList<IniSection>> readIniFile(const QString &file, QString *error)
{
    QFile in(file);
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly))
        return refuse(error, IniReader::tr("cannot read the configuration file %1").arg(file));
    if (in.size() > kMaxConfigBytes)
        return refuse(error, IniReader::tr("%1 has %2 bytes; a configuration has at most %3")
                                 .arg(file).arg(in.size()).arg(kMaxConfigBytes));
    return readIni(file, in.readAll(), error);
}

std::optional<bool> iniBool(const QString &value)
{
    const QString t = value.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("on") || t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("off") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}
