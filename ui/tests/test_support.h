#pragma once

#include "ui/message_box.h"

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace partwright::test {

// Points the settings store at a temporary folder of this test program's own
// before anything reads it, so no test touches the real user's settings.
class ScopedConfigHome {
public:
    ScopedConfigHome();
    ~ScopedConfigHome();

private:
    QTemporaryDir folder_;
};

// Empties the store between cases.
void ClearStore();
void StoreValue(const QString& key, const QString& value);
[[nodiscard]] std::optional<QString> StoredValue(const QString& key);
[[nodiscard]] QStringList StoredKeys();

// Captures every message the window shows instead of opening a box; an
// optional action runs inside the "box", as a user would act while it is open.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    [[nodiscard]] const QStringList& Texts() const { return texts_; }
    [[nodiscard]] const QStringList& Details() const { return details_; }
    void Clear() {
        texts_.clear();
        details_.clear();
    }
    void OnMessage(std::function<void(const QString&)> action) { action_ = std::move(action); }

private:
    QStringList texts_;
    QStringList details_;
    std::function<void(const QString&)> action_;
    MessageSink previous_;
};

}  // namespace partwright::test

#define PARTWRIGHT_UI_TEST_MAIN(TestClass)                 \
    int main(int argc, char** argv) {                      \
        partwright::test::ScopedConfigHome configHome;     \
        QApplication app(argc, argv);                      \
        QApplication::setQuitOnLastWindowClosed(false);    \
        TestClass tc;                                      \
        return QTest::qExec(&tc, argc, argv);              \
    }
