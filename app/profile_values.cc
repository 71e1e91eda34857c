#include "app/profile_values.h"

#include <QSettings>
#include <QVariant>

#include <limits>

namespace varnotte {

int ReadProfileInt(const QSettings& settings, const QString& key, int defaultValue) {
    const QVariant value = settings.value(key);
    if (!value.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<quint32>::max()) {
        return defaultValue;
    }
    return static_cast<qint32>(static_cast<quint32>(number));
}

QString ReadProfileString(const QSettings& settings, const QString& key,
                          const QString& defaultValue) {
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
        case QMetaType::QString:
        case QMetaType::QByteArray:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return value.toString();
        default:
            return defaultValue;
    }
}

}  // namespace varnotte
