#pragma once

#include "dialogtemplates.h"

#include <QFont>
#include <QHash>
#include <QRect>

class QWidget;

// Converts dialog units to pixels for a font, as dialog templates are laid
// out: a horizontal unit is a quarter of the font's average character width,
// a vertical unit an eighth of its height.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont &font);

    QRect toPixels(int x, int y, int cx, int cy) const;

private:
    int m_baseX;
    int m_baseY;
};

// Gives a dialog its template's caption, font and size, and creates the
// template's controls on it in template order, which is also their tab
// order. Returns the controls that have an id; labels are only placed.
QHash<int, QWidget *> BuildDialog(QWidget *dialog, const DialogTemplate &tpl);
