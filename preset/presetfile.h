#pragma once

#include "dimraprotocol.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

struct JsonNode;
struct JsonFault;

// A preset: a lighting set once and recalled by its name. It sets any of
// the frequency and the three duties, at least one.
struct Preset
{
    // 1 to CPresetFile::kNameMax characters (Unicode code points, as Python
    // counts them) of any script, without control characters. Names are
    // compared as they are written: "Part A" and "part a" are two presets.
    QString name;
    // By command code, as the board holds them: what the preset sets; what
    // it leaves as it is stays empty.
    BoardValues values;
};

// What saving or deleting a preset came to.
struct PresetChange
{
    enum Outcome {
        Done,
        BadPreset,    // the name or a value is not one a preset may have: nothing was written
        NoSuchPreset, // nothing of that name to delete; the error names the presets there are
        Unreadable,   // the file cannot be read, and is left as it is until it is mended
        NotWritten,   // writing failed; the file is as it was
    };
    Outcome outcome = Done;
    QString error; // what went wrong, naming the file, the preset or the value
};

// The user's presets, one JSON file that a person can edit, shared by every
// program: the window, dimractl (and the Python package through it) and
// dimra-mqtt.
//   {
//       "format": 1,
//       "presets": [
//           {"name": "Part A", "frequency": 20000, "ch1": 40, "ch2": 60, "ch3": 0},
//           {"name": "暗场", "ch3": 85}
//       ]
//   }
// The list keeps the user's order, which the window's Ctrl+1 to Ctrl+9
// follow. Values are whole numbers in digits, within the board's ranges.
//
// A file that cannot be read as a whole (not JSON, another shape, a format
// newer than this program's) gives no presets and is never written: the
// programs work on without presets until the user mends it. A preset that
// is wrong in itself (a value out of range, a bad name, a name taken
// above) is left out with a problem naming it, and the others work; saving
// or deleting another one keeps it as it is written, for the user to mend.
//
// The file is written whole through a temporary file that replaces it, so a
// crash or a power cut leaves the old file or the new one, never part of
// one; saving and deleting read the file again first, as another program
// may have changed it.
class CPresetFile
{
    Q_DECLARE_TR_FUNCTIONS(CPresetFile) // a public tr(), which the helpers of its source file use too

public:
    static constexpr int kNameMax = 64;

    // The user's presets file: the file DIMRA_PRESETS names when it is
    // set; else on Windows %APPDATA%\Dimra\presets.json, elsewhere
    // dimra/presets.json in the user's config folder ($XDG_CONFIG_HOME,
    // else ~/.config).
    static QString userPath();

    // Reads the file at path; a file that is not there holds no presets.
    explicit CPresetFile(const QString &path);

    // Reads the file again.
    void reload();

    QString path() const { return m_path; }

    // Why the file cannot be read, naming it, the line and column and the
    // reason; empty when it was read or is not there.
    QString error() const { return m_error; }
    // The presets left out, each naming the file, the line, the preset and
    // what is wrong with it.
    QStringList problems() const { return m_problems; }

    // The presets that work, in the file's order.
    const QList<Preset> &presets() const { return m_presets; }
    QStringList names() const;
    // The preset of that name, null when none works.
    const Preset *find(const QString &name) const;
    // Whether the file holds a preset of that name, working or left out:
    // saving that name replaces it, which the user is asked first.
    bool holds(const QString &name) const;
    // Why no preset of that name works: what is wrong with the first of
    // that name left out, as problems() tells it, not that it is missing;
    // else that there is none, and which there are.
    QString noSuchPresetText(const QString &name) const;

    // Why the preset may not be saved, naming what is wrong (its name, or
    // a value and the range); empty when it may.
    static QString problemOf(const Preset &preset);

    // Reads the file again, then puts preset in place of the one of the
    // same name (and drops any other of that name, left out as taken), or
    // after the last, and writes the file. The folder is made if need be.
    PresetChange save(const Preset &preset);
    // Reads the file again, then deletes every preset of that name and
    // writes the file.
    PresetChange remove(const QString &name);

private:
    // A preset as the file holds it, working or not.
    struct Entry
    {
        bool named = false; // the entry has a name that is text
        QString name;
        QByteArray text; // as it stands in the file, written again as it is
        QString problem; // why it is left out, as problems() tells it
    };

    void clear();
    void read(const QByteArray &text);
    QString readEntry(const QByteArray &text, const JsonNode &node, const QList<JsonFault> &faults, Entry *entry,
                      Preset *preset) const;
    PresetChange write(const QList<QByteArray> &entries);
    QString unreadableText() const;
    QString shownPath() const;

    QString m_path;
    QString m_error;
    QStringList m_problems;
    QList<Preset> m_presets;
    QList<Entry> m_entries;
};
