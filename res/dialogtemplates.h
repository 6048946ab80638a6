#pragma once

#include <QString>
#include <vector>

// The dialog templates: each control with its kind, text and place in dialog
// units, listed in tab order. The window layer turns dialog units into
// pixels with the dialog's own font, so the arrangement holds at any font
// size. The texts are written in Chinese and shown in the run's language
// (translation context kTemplateContext); every translation fits its
// control as the Chinese does.

enum class ItemKind { Label, CentredLabel, Icon, Slider, Edit, PushButton, DefPushButton, ComboBox, SerialControl };

struct DialogItem
{
    int id;
    ItemKind kind;
    const char *text; // UTF-8
    int x, y, cx, cy;
    bool disabled;
    const char *name; // object name of the control
};

struct DialogTemplate
{
    int id;
    const char *caption; // UTF-8
    int pointSize;
    int cx, cy; // client area in dialog units
    bool resizable;
    std::vector<DialogItem> items;
};

inline constexpr char kTemplateContext[] = "DialogTemplate";

const DialogTemplate &MainDialogTemplate();
const DialogTemplate &AboutBoxTemplate();

// A text of the string table in the run's language, empty for an unknown id.
QString LoadResString(int id);
