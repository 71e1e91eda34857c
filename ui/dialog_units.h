// Dialog units, as dialog templates give positions and sizes in.
//
// A dialog unit is a quarter of the dialog font's average character width horizontally
// and an eighth of its height vertically, so a dialog keeps its proportions whatever the
// font. The conversion below is the one Windows applies to dialog templates.
#pragma once

#include <QFont>
#include <QRect>

namespace varnotte {

struct DialogBaseUnits {
    int width = 0;   // average width of the 52 Latin letters, rounded
    int height = 0;  // the font's full line height, internal leading included
};

DialogBaseUnits BaseUnitsOf(const QFont& font);

// Template rectangle (x, y, width, height in dialog units) to pixels. The corners are
// converted, as Windows does, so adjacent controls stay adjacent after rounding.
QRect DialogUnitsToPixels(const QRect& units, const DialogBaseUnits& base);

// The dialog font: Tahoma 8 pt where it is installed, else the system's sans serif at 8 pt.
QFont DialogFont();

}  // namespace varnotte
