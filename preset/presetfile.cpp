#include "presetfile.h"

#include "jsontext.h"
#include "printabletext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

namespace {

// The format this program reads and writes; a file in a newer one is left
// alone, as its presets may mean more than this program knows.
constexpr int kFormat = 1;
// Far more than a presets file holds: a larger file, or a device that never
// ends, is not read.
constexpr qsizetype kFileMax = 1024 * 1024;

const QString kName = QStringLiteral("name");

// A message as the user sees it: a control character that a name, a key or
// a path brings into it shown as \x1b and the like.
QString shown(const QString &message)
{
    return PrintableText(message, false);
}

// Digits with an optional minus, as every Dimra program takes a value: no
// fraction or exponent, even where it comes to a whole number (2e4, 40.0).
bool isWholeNumber(QByteArrayView text)
{
    if (text.startsWith('-'))
        text = text.sliced(1);
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QString outsideText(int code, const QString &number)
{
    const Dimra::ValueRange range = CDimraProtocol::RangeOf(code);
    const QString unit = code == CDimraProtocol::CmdFrequency ? QStringLiteral("Hz") : QStringLiteral("%");
    return CPresetFile::tr("%1 %2 is outside %3 to %4 %5")
        .arg(CDimraProtocol::ValueKey(code), number)
        .arg(range.min)
        .arg(range.max)
        .arg(unit);
}

QString nameProblem(const QString &name)
{
    const QList<uint> characters = name.toUcs4();
    if (characters.isEmpty())
        return CPresetFile::tr("the name is empty");
    if (characters.size() > CPresetFile::kNameMax)
        return CPresetFile::tr("the name is %1 characters long, more than %2")
            .arg(characters.size())
            .arg(CPresetFile::kNameMax);
    // Half of a surrogate pair comes to U+FFFD in toUcs4(): not text either.
    if (!name.isValidUtf16()
        || std::any_of(characters.begin(), characters.end(),
                       [](uint c) { return QChar::category(char32_t(c)) == QChar::Other_Control; }))
        return CPresetFile::tr("the name holds a control character");
    return QString();
}

QString setsNothingText()
{
    return CPresetFile::tr("it sets nothing; a preset sets at least one of frequency, ch1, ch2 and ch3");
}

// A preset as the file writes it: one line, the name first, then the values
// in the window's order.
QByteArray entryText(const Preset &preset)
{
    QByteArray text = "{\"name\": " + JsonValueText(preset.name).toUtf8();
    for (const int code : CDimraProtocol::kValueCodes)
        if (preset.values[code])
            text += ", \"" + CDimraProtocol::ValueKey(code).toLatin1()
                + "\": " + QByteArray::number(*preset.values[code]);
    return text + '}';
}

QByteArray fileText(const QList<QByteArray> &entries)
{
    QByteArray text = "{\n    \"format\": " + QByteArray::number(kFormat) + ",\n    \"presets\": [";
    for (qsizetype i = 0; i < entries.size(); ++i)
        text += (i == 0 ? "\n        " : ",\n        ") + entries.at(i);
    return text + (entries.isEmpty() ? "]\n}\n" : "\n    ]\n}\n");
}

} // namespace

QString CPresetFile::userPath()
{
    const QString named = qEnvironmentVariable("DIMRA_PRESETS");
    if (!named.isEmpty())
        return named;
#ifdef Q_OS_WIN
    // The roaming folder, which follows the user from machine to machine.
    QString folder = qEnvironmentVariable("APPDATA");
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/AppData/Roaming");
    return QDir::toNativeSeparators(folder + QStringLiteral("/Dimra/presets.json"));
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/dimra/presets.json");
#endif
}

CPresetFile::CPresetFile(const QString &path) : m_path(path)
{
    reload();
}

void CPresetFile::reload()
{
    clear();
    QFile file(m_path);
    if (!file.exists())
        return;
    // Opening a pipe would wait for a writer, and reading a device might
    // never end: the program would hang, deaf even to a signal to stop.
    if (!QFileInfo(m_path).isFile()) {
        m_error = shown(tr("%1 is a folder, a device or a pipe, not a presets file").arg(shownPath()));
        return;
    }
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.read(kFileMax + 1);
    if (file.error() != QFileDevice::NoError)
        m_error = shown(tr("cannot read %1: %2").arg(shownPath(), file.errorString()));
    else if (text.size() > kFileMax)
        m_error = shown(tr("%1 is larger than %2 bytes, far more than a presets file holds")
                            .arg(shownPath(), QString::number(kFileMax)));
    else
        read(text);
}

void CPresetFile::clear()
{
    m_error.clear();
    m_problems.clear();
    m_presets.clear();
    m_entries.clear();
}

void CPresetFile::read(const QByteArray &text)
{
    clear();
    const auto at = [this, &text](qsizetype offset, const QString &reason) {
        const TextPosition position = PositionInText(text, offset);
        return shown(tr("%1:%2:%3: %4").arg(shownPath(), QString::number(position.line),
                                            QString::number(position.column), reason));
    };

    QJsonParseError parseError;
    QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        m_error = at(parseError.offset, parseError.errorString());
        return;
    }
    QList<JsonFault> faults;
    const JsonNode root = ReadJsonText(text, &faults);
    if (root.kind != '{') {
        m_error = at(root.begin, tr("a presets file is one object with \"format\" and \"presets\""));
        return;
    }
    // The format first: what else a newer format holds is not this program's to judge.
    const JsonNode *format = root.member(QStringLiteral("format"));
    const JsonNode *list = root.member(QStringLiteral("presets"));
    if (!format || !list) {
        m_error = at(root.begin,
                     tr("there is no \"%1\"").arg(format ? QStringLiteral("presets") : QStringLiteral("format")));
        return;
    }
    const QByteArray formatText = format->textIn(text);
    bool isNumber = false;
    const qlonglong number = isWholeNumber(formatText) ? formatText.toLongLong(&isNumber) : 0;
    if (isNumber && number > kFormat) {
        m_error = at(format->begin, tr("the file is in format %1, of a newer Dimra; this one reads format %2")
                                        .arg(QString::fromUtf8(formatText), QString::number(kFormat)));
        return;
    }
    if (!isNumber || number != kFormat) {
        m_error = at(format->begin,
                     tr("\"format\" is %1, not %2").arg(QString::fromUtf8(formatText), QString::number(kFormat)));
        return;
    }
    // A fault inside a preset leaves out that preset only. Both are in the
    // order of the text.
    auto item = list->items.cbegin();
    for (const JsonFault &fault : faults) {
        while (item != list->items.cend() && item->end <= fault.offset)
            ++item;
        if (list->kind != '[' || item == list->items.cend() || fault.offset < item->begin) {
            m_error = at(fault.offset, fault.text);
            return;
        }
    }
    for (qsizetype i = 0; i < root.keys.size(); ++i) {
        if (root.keys.at(i) != QLatin1String("format") && root.keys.at(i) != QLatin1String("presets")) {
            m_error = at(root.items.at(size_t(i)).begin,
                         tr("there is no \"%1\" in a presets file, only \"format\" and \"presets\"")
                             .arg(root.keys.at(i)));
            return;
        }
    }
    if (list->kind != '[') {
        m_error = at(list->begin, tr("\"presets\" is a list in [ ]"));
        return;
    }

    QHash<QString, int> lines; // of the names read so far
    int line = 1;
    qsizetype counted = 0; // the bytes whose line breaks are in line
    for (const JsonNode &node : list->items) {
        line += int(std::count(text.cbegin() + counted, text.cbegin() + node.begin, '\n'));
        counted = node.begin;
        Entry entry;
        entry.text = node.textIn(text);
        Preset preset;
        QString problem = readEntry(text, node, faults, &entry, &preset);
        if (problem.isEmpty() && lines.contains(entry.name))
            problem = tr("the name is taken by the preset on line %1").arg(lines.value(entry.name));
        if (problem.isEmpty())
            m_presets.append(preset);
        else if (entry.named)
            m_problems.append(shown(tr("%1:%2: preset \"%3\" is left out: %4")
                                        .arg(shownPath(), QString::number(line), entry.name, problem)));
        else
            m_problems.append(
                shown(tr("%1:%2: a preset is left out: %3").arg(shownPath(), QString::number(line), problem)));
        if (!problem.isEmpty())
            entry.problem = m_problems.last();
        if (entry.named && !lines.contains(entry.name))
            lines.insert(entry.name, line);
        m_entries.append(entry);
    }
}

QString CPresetFile::readEntry(const QByteArray &text, const JsonNode &node, const QList<JsonFault> &faults,
                               Entry *entry, Preset *preset) const
{
    if (node.kind != '{')
        return tr("a preset is an object in { } with a \"name\" and values");
    const JsonNode *name = node.member(kName);
    entry->named = name && name->kind == '"';
    if (!entry->named)
        return tr("it needs a \"name\" in quotes");
    entry->name = preset->name = name->string;
    const auto fault = std::lower_bound(faults.cbegin(), faults.cend(), node.begin,
                                        [](const JsonFault &f, qsizetype offset) { return f.offset < offset; });
    if (fault != faults.cend() && fault->offset < node.end)
        return fault->text;
    if (const QString problem = nameProblem(preset->name); !problem.isEmpty())
        return problem;
    for (qsizetype i = 0; i < node.keys.size(); ++i) {
        const QString &key = node.keys.at(i);
        if (key == kName)
            continue;
        const int *code = std::find_if(std::begin(CDimraProtocol::kValueCodes), std::end(CDimraProtocol::kValueCodes),
                                       [&key](int c) { return CDimraProtocol::ValueKey(c) == key; });
        if (code == std::end(CDimraProtocol::kValueCodes))
            return tr("there is no value \"%1\"; a preset sets frequency, ch1, ch2 and ch3").arg(key);
        const QByteArray number = node.items.at(size_t(i)).textIn(text);
        if (!isWholeNumber(number))
            return tr("%1: %2 is not a whole number").arg(key, QString::fromUtf8(number));
        bool ok = false;
        const qlonglong value = number.toLongLong(&ok);
        if (!ok || !CDimraProtocol::RangeOf(*code).contains(value))
            return outsideText(*code, QString::fromUtf8(number));
        preset->values[*code] = int(value);
    }
    if (std::none_of(std::begin(preset->values), std::end(preset->values), [](auto v) { return v.has_value(); }))
        return setsNothingText();
    return QString();
}

QStringList CPresetFile::names() const
{
    QStringList names;
    for (const Preset &preset : m_presets)
        names.append(preset.name);
    return names;
}

const Preset *CPresetFile::find(const QString &name) const
{
    const auto it =
        std::find_if(m_presets.begin(), m_presets.end(), [&name](const Preset &p) { return p.name == name; });
    return it == m_presets.end() ? nullptr : &*it;
}

bool CPresetFile::holds(const QString &name) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&name](const Entry &e) { return e.named && e.name == name; });
}

QString CPresetFile::noSuchPresetText(const QString &name) const
{
    const auto leftOut = std::find_if(m_entries.begin(), m_entries.end(), [&name](const Entry &e) {
        return e.named && e.name == name && !e.problem.isEmpty();
    });
    if (leftOut != m_entries.end())
        return leftOut->problem;
    if (m_presets.isEmpty())
        return shown(tr("there is no preset \"%1\"; there are no presets").arg(name));
    return shown(tr("there is no preset \"%1\"; the presets are %2")
                     .arg(name, QLatin1Char('"') + names().join(QLatin1String("\", \"")) + QLatin1Char('"')));
}

QString CPresetFile::problemOf(const Preset &preset)
{
    if (const QString problem = nameProblem(preset.name); !problem.isEmpty())
        return problem;
    bool setsSome = false;
    for (const int code : CDimraProtocol::kValueCodes) {
        if (!preset.values[code])
            continue;
        if (!CDimraProtocol::RangeOf(code).contains(*preset.values[code]))
            return outsideText(code, QString::number(*preset.values[code]));
        setsSome = true;
    }
    return setsSome ? QString() : setsNothingText();
}

PresetChange CPresetFile::save(const Preset &preset)
{
    if (const QString problem = problemOf(preset); !problem.isEmpty())
        return {PresetChange::BadPreset, shown(tr("preset \"%1\": %2; nothing was saved").arg(preset.name, problem))};
    reload();
    if (!m_error.isEmpty())
        return {PresetChange::Unreadable, unreadableText()};
    QList<QByteArray> entries;
    bool replaced = false;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (!entry.named || entry.name != preset.name)
            entries.append(entry.text);
        else if (!std::exchange(replaced, true))
            entries.append(entryText(preset));
    }
    if (!replaced)
        entries.append(entryText(preset));
    return write(entries);
}

PresetChange CPresetFile::remove(const QString &name)
{
    reload();
    if (!m_error.isEmpty())
        return {PresetChange::Unreadable, unreadableText()};
    if (!holds(name))
        return {PresetChange::NoSuchPreset, noSuchPresetText(name)};
    QList<QByteArray> entries;
    for (const Entry &entry : std::as_const(m_entries))
        if (!entry.named || entry.name != name)
            entries.append(entry.text);
    return write(entries);
}

PresetChange CPresetFile::write(const QList<QByteArray> &entries)
{
    const QByteArray text = fileText(entries);
    if (text.size() > kFileMax) // which no program would read again
        return {PresetChange::NotWritten,
                shown(tr("%1 would be larger than %2 bytes, far more than a presets file holds")
                          .arg(shownPath(), QString::number(kFileMax)))};
    QDir().mkpath(QFileInfo(m_path).absolutePath()); // where it fails, opening says why
    // QSaveFile writes a temporary file beside it and renames it over the
    // file only when the whole text is written: never a half-written file.
    // Unbuffered, every write reaches QSaveFile, which then knows of a
    // failed one (a failure in its own flush it misses, and commits part of
    // the text); a write the system takes in part is tried on until one
    // fails outright, with the system's reason (a full disk).
    QSaveFile file(m_path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qsizetype done = 0; written && done < text.size();) {
        const qint64 n = file.write(text.constData() + done, text.size() - done);
        written = n > 0;
        done += n;
    }
    if (!written || !file.commit())
        return {PresetChange::NotWritten,
                shown(tr("cannot write %1: %2; the file is as it was").arg(shownPath(), file.errorString()))};
    read(text);
    return {};
}

QString CPresetFile::unreadableText() const
{
    return tr("the presets file cannot be read, and is left as it is until it is mended: %1").arg(m_error);
}

QString CPresetFile::shownPath() const
{
    return QDir::toNativeSeparators(m_path);
}
