#pragma once

#include "presetfile.h"

#include <QObject>
#include <QString>
#include <functional>

class QMenu;
class QWidget;

// The window's presets: the menu "预设" with an item per preset, saving the
// window's settings under a name and deleting a preset, and Ctrl+1 to
// Ctrl+9 for the first nine presets in the file's order. The user's presets
// file is read again each time the menu opens and each time a key is
// pressed, so that what dimractl or an editor changed meanwhile counts. A
// file that cannot be read is named, with its line and reason, where the
// presets would be, and is never written; the presets it leaves out are
// named below the others.
//
// Applying is the window's: the menu asks for it with applyRequested, and
// offers its items only while canApply says the window can apply.
class CPresetMenu : public QObject
{
    Q_OBJECT

public:
    // The menu and the keys belong to window; settings gives the window's
    // values, which saving stores.
    CPresetMenu(std::function<bool()> canApply, std::function<BoardValues()> settings, QWidget *window);

    QMenu *menu() const { return m_menu; }

signals:
    void applyRequested(const Preset &preset);

private:
    void rebuild();
    void addNote(const QString &text);
    void applyAt(int index);
    void saveSettings();
    void deletePreset(const QString &name);
    bool ask(const QString &question);

    std::function<bool()> m_canApply;
    std::function<BoardValues()> m_settings;
    QWidget *m_window;
    const QString m_path = CPresetFile::userPath();
    QMenu *m_menu;
    QMenu *m_deleteMenu;
};
