#include "ui/tests/test_support.h"

#include <QSettings>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <QUuid>
#endif

namespace partwright::test {

#ifdef _WIN32
namespace {

const wchar_t* Wide(const QString& text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

}  // namespace

// Test programs run side by side in one Wine prefix (or one Windows login):
// each gets a key of its own, named after its process and a fresh UUID.
ScopedConfigHome::ScopedConfigHome()
    : userKey_(QStringLiteral("Software\\Partwright tests\\%1-%2")
                   .arg(GetCurrentProcessId())
                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(userKey_), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        std::abort();
    // The system keeps its own handle to the stand-in key.
    const LSTATUS overridden = RegOverridePredefKey(HKEY_CURRENT_USER, key);
    RegCloseKey(key);
    if (overridden != ERROR_SUCCESS) std::abort();
}

ScopedConfigHome::~ScopedConfigHome() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide(userKey_));
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Partwright tests");  // only when no other test's key is left
}
#else
ScopedConfigHome::ScopedConfigHome() {
    if (!folder_.isValid()) std::abort();
    qputenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit());
}

ScopedConfigHome::~ScopedConfigHome() { qunsetenv("XDG_CONFIG_HOME"); }
#endif

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

#ifdef _WIN32
QMap<QString, QString> StoreAsOtherProgramsSeeIt() {
    QMap<QString, QString> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmark\\Partwright", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        wchar_t data[1024];
        DWORD bytes = sizeof data;
        const LSTATUS status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        const QString valueName = QString::fromWCharArray(name, static_cast<qsizetype>(nameLength));
        if (status != ERROR_SUCCESS) {
            values.insert(valueName, QStringLiteral("<unreadable>"));
            continue;
        }
        if (type != REG_SZ) {
            values.insert(valueName, QStringLiteral("<type %1>").arg(type));
            continue;
        }
        QString text = QString::fromWCharArray(data, static_cast<qsizetype>(bytes / sizeof(wchar_t)));
        if (text.endsWith(QChar(0))) text.chop(1);
        values.insert(valueName, text);
    }
    RegCloseKey(key);
    return values;
}
#else
QMap<QString, QString> StoreAsOtherProgramsSeeIt() {
    const QSettings file(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quillmark/Partwright.conf"),
                         QSettings::IniFormat);
    QMap<QString, QString> values;
    for (const QString& key : file.allKeys()) values.insert(key, file.value(key).toString());
    return values;
}
#endif

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageSink([this](QWidget*, const QString& text, const QString& details) {
        texts_.append(text);
        details_.append(details);
        if (action_) action_(text);
    });
    previousQuestions_ = SetQuestionSink([this](const QString& text) {
        questions_.append(text);
        return answer_;
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageSink(std::move(previous_));
    SetQuestionSink(std::move(previousQuestions_));
}

}  // namespace partwright::test
