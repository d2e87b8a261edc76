#include "ui/tests/test_support.h"

#include <QSettings>

#include <cstdlib>

namespace partwright::test {

ScopedConfigHome::ScopedConfigHome() {
    if (!folder_.isValid()) std::abort();
    qputenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit());
}

ScopedConfigHome::~ScopedConfigHome() { qunsetenv("XDG_CONFIG_HOME"); }

void ClearStore() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                    QStringLiteral("Partwright"));
    store.clear();
    store.sync();
}

void StoreValue(const QString& key, const QString& value) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                    QStringLiteral("Partwright"));
    store.setValue(key, value);
    store.sync();
}

std::optional<QString> StoredValue(const QString& key) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                    QStringLiteral("Partwright"));
    if (!store.contains(key)) return std::nullopt;
    return store.value(key).toString();
}

QStringList StoredKeys() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillmark"),
                    QStringLiteral("Partwright"));
    QStringList keys = store.allKeys();
    keys.sort();
    return keys;
}

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageSink([this](QWidget*, const QString& text, const QString& details) {
        texts_.append(text);
        details_.append(details);
        if (action_) action_(text);
    });
}

MessageRecorder::~MessageRecorder() { SetMessageSink(std::move(previous_)); }

}  // namespace partwright::test
