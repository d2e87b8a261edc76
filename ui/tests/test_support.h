#pragma once

#include "ui/message_box.h"

#include <QApplication>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace partwright::test {

// Points the settings store at a temporary place of this test program's own
// before anything reads it, so no test touches the real user's settings: a
// folder as XDG_CONFIG_HOME, or on Windows a registry key that stands in for
// HKEY_CURRENT_USER in this process.
class ScopedConfigHome {
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

private:
#ifdef _WIN32
    QString userKey_;  // below the real HKEY_CURRENT_USER
#else
    QTemporaryDir folder_;
#endif
};

// Empties the store between cases.
void ClearStore();
void StoreValue(const QString& key, const QString& value);
[[nodiscard]] std::optional<QString> StoredValue(const QString& key);
[[nodiscard]] QStringList StoredKeys();
// What the store holds as another program finds it, read without QSettings'
// native back end: on Windows the values of the registry key
// HKEY_CURRENT_USER\Software\Quillmark\Partwright through the registry API
// (a value that is not a REG_SZ text reads as "<type N>"), elsewhere the INI
// file $XDG_CONFIG_HOME/Quillmark/Partwright.conf.
[[nodiscard]] QMap<QString, QString> StoreAsOtherProgramsSeeIt();

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
    // The questions asked, and the answer every one gets (yes unless told).
    [[nodiscard]] const QStringList& Questions() const { return questions_; }
    void Answer(bool answer) { answer_ = answer; }

private:
    QStringList questions_;
    bool answer_ = true;
    QuestionSink previousQuestions_;
    QStringList texts_;
    QStringList details_;
    std::function<void(const QString&)> action_;
    MessageSink previous_;
};

// The first paragraph of every text: the end of a run says "Done." there and
// what was written in the paragraphs below.
[[nodiscard]] inline QStringList FirstParagraphs(const QStringList& texts) {
    QStringList firsts;
    for (const QString& text : texts) firsts << text.section(QStringLiteral("\n\n"), 0, 0);
    return firsts;
}

// Test files, written and read back whole.
inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace partwright::test

#define PARTWRIGHT_UI_TEST_MAIN(TestClass)              \
    int main(int argc, char** argv) {                   \
        partwright::test::ScopedConfigHome configHome;  \
        QApplication app(argc, argv);                   \
        QApplication::setQuitOnLastWindowClosed(false); \
        TestClass tc;                                   \
        return QTest::qExec(&tc, argc, argv);           \
    }
