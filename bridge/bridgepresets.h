#pragma once

#include "presetfile.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

// The presets file as the bridge reads it: the user's file that the window
// and dimractl write, or the one the configuration names; none when no
// file is configured. The bridge only reads it.
//
// A preset is applied as the file holds it at that moment: it is read again
// for every preset command, so an edit counts at once, whatever a watch has
// seen. The file is watched as well, so that Home Assistant's select offers
// the presets the file holds without waiting for a command: through its
// folder too, since a file saved whole (as the programs and most editors
// save it) is a new file in place of the old one, and through the nearest
// folder that is there while the file's own is not yet made.
//
// A file that cannot be read gives no presets and is logged once, with its
// line and the reason, until it reads again or another reason comes; each
// preset left out is logged once in the same way.
class CBridgePresets : public QObject
{
    Q_OBJECT

public:
    // path: the file; empty for none.
    explicit CBridgePresets(const QString &path, QObject *parent = nullptr);

    bool isConfigured() const { return !m_file.path().isEmpty(); }
    // Reads the file and watches it from now on.
    void start();
    // Reads the file again.
    void reload();

    // The presets that work, in the file's order, as last read.
    QStringList names() const { return m_names; }
    // The preset of that name as last read, null when none works.
    const Preset *find(const QString &name) const { return m_file.find(name); }
    // Why no preset of that name works (presetfile.h), or that this bridge
    // reads no presets file, or that it cannot be read.
    QString noSuchPresetText(const QString &name) const;

signals:
    // The names of the presets changed as the file was read again.
    void namesChanged();
    void logged(const QString &line);

private:
    void watch();
    void logCount();

    CPresetFile m_file;
    QStringList m_names;
    QString m_strLoggedError; // logged already, as are these
    QStringList m_loggedProblems;
    QFileSystemWatcher m_watcher;
    QTimer m_settleTimer; // a change is read once the writer is done
};
