#include "ui/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace varnotte {
namespace {

// MulDiv: the product over the divisor, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const QRect& units, const DialogBaseUnits& base) {
    const int left = MulDiv(units.x(), base.width, 4);
    const int top = MulDiv(units.y(), base.height, 8);
    const int right = MulDiv(units.x() + units.width(), base.width, 4);
    const int bottom = MulDiv(units.y() + units.height(), base.height, 8);
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont() {
    // Debian's fonts-wine puts a Tahoma where Wine finds it, not where fontconfig looks.
    static const bool loaded = [] {
        if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
        }
        return true;
    }();
    (void)loaded;
    // Japanese captions fall back to a proportional Gothic, which is as narrow as the
    // template's label widths expect.
    const QString japanese = QStringLiteral("IPAPGothic");
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        font = QFont(QStringLiteral("Tahoma"));
    }
    font.setFamilies({font.family(), japanese});
    font.setPointSize(8);
    return font;
}

}  // namespace varnotte
