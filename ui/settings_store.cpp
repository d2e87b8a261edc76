#include "ui/settings_store.h"

#include <QStringList>
#include <QVariant>

namespace partwright {

SettingsStore::SettingsStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                QStringLiteral("Partwright")) {}

QString SettingsStore::Read(const QString& key, const QString& defaultValue) const {
    const QVariant value = settings_.value(key);
    if (!value.isValid()) return defaultValue;
    // A hand-edited file may hold an unquoted "a,b", which the native Linux
    // format reads back as a list; the user meant the text.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::Write(const QString& key, const QString& value) {
    // A null QString would be stored as an invalid value and read back as the default.
    settings_.setValue(key, value.isNull() ? QStringLiteral("") : value);
    settings_.sync();
    if (observer_) observer_(key, value);
}

}  // namespace partwright
