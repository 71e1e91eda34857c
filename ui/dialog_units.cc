#include "ui/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QRawFont>
#include <QStringList>

#include <cmath>

namespace varnotte {
namespace {

// MulDiv: the product over the divisor, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

// The OS/2 table of a TrueType or OpenType font: usWinAscent and usWinDescent, the
// extent above and below the baseline that Windows gives every line of the font, in font
// units. Each is an unsigned big-endian 16-bit number.
constexpr int kWinAscentOffset = 74;
constexpr int kWinDescentOffset = 76;
constexpr int kOs2MinimumSize = 78;

int BigEndian16(const QByteArray& table, int offset) {
    return (static_cast<unsigned char>(table[offset]) << 8) |
           static_cast<unsigned char>(table[offset + 1]);
}

// The text metric height Windows reports for `font` (ascent plus descent, internal
// leading included): for a TrueType font the OS/2 table's usWinAscent and usWinDescent,
// each scaled to the font's whole pixel size and rounded. Qt's own height leaves the
// internal leading out (Tahoma 8 pt: 11 instead of 13), so it serves only for a font
// without that table.
int LineHeightAsWindows(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
    const qreal unitsPerEm = raw.isValid() ? raw.unitsPerEm() : 0;
    if (os2.size() < kOs2MinimumSize || unitsPerEm <= 0) {
        return QFontMetrics(font).height();
    }
    const qreal scale = QFontInfo(font).pixelSize() / unitsPerEm;
    const auto scaled = [scale](int units) { return static_cast<int>(std::lround(units * scale)); };
    return scaled(BigEndian16(os2, kWinAscentOffset)) + scaled(BigEndian16(os2, kWinDescentOffset));
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, LineHeightAsWindows(font)};
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
