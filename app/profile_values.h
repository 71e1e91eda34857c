// Typed reads from the settings store that never trust what they find there.
//
// The store may have been edited by hand, damaged, or written by an older program; an INI
// file gives every value back as text. A value that is missing or is not of the expected
// kind reads as the default, so a bad file can cost a setting but never the start.
#pragma once

#include <QString>

class QSettings;

namespace varnotte {

// A 32-bit value, whether it was written signed or unsigned (a registry DWORD is
// unsigned): "4294967295" and "-1" read the same.
int ReadProfileInt(const QSettings& settings, const QString& key, int defaultValue);

// Text. A list (an unquoted comma in a hand-written file) or any other structured value
// counts as the wrong kind.
QString ReadProfileString(const QSettings& settings, const QString& key,
                          const QString& defaultValue = QString());

}  // namespace varnotte
