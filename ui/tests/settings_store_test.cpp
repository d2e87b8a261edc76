#include "ui/settings_store.h"
#include "ui/tests/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using partwright::SettingsStore;
namespace test = partwright::test;

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void missingKeyReadsAsTheDefault() {
        const SettingsStore store;
        QCOMPARE(store.Read(QStringLiteral("Number Of Lines"), QStringLiteral("3")), QStringLiteral("3"));
    }

    void writtenTextReadsBackExactly_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("comma") << QStringLiteral(",");
        QTest::newRow("two words with a comma") << QStringLiteral("a,b");
        QTest::newRow("leading blank") << QStringLiteral(" 12");
        QTest::newRow("looks like a variant") << QStringLiteral("@Invalid()");
        QTest::newRow("quotes and semicolon") << QStringLiteral("\"x\";y");
        QTest::newRow("equals and hash") << QStringLiteral("a=b #c");
        QTest::newRow("backslashes") << QStringLiteral("C:\\data\\");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße ✓");
    }
    void writtenTextReadsBackExactly() {
        QFETCH(QString, value);
        SettingsStore writer;
        writer.Write(QStringLiteral("Every X Character"), value);
        // A second store reads what reached the disk, not a cache.
        const SettingsStore reader;
        const QString read = reader.Read(QStringLiteral("Every X Character"), QStringLiteral("default"));
        QCOMPARE(read, value.isNull() ? QStringLiteral("") : value);
    }

    void storeLivesInTheUsersConfigFolderUnderQuillmark() {
#ifdef Q_OS_WIN
        QSKIP("the store is the registry here (main_window_settings_test reads it back)");
#endif
        SettingsStore store;
        store.Write(QStringLiteral("Split Option"), QStringLiteral("2"));
        const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quillmark/Partwright.conf");
        QVERIFY2(QFile::exists(file), qPrintable(file));
    }

    void handEditedListReadsAsOneText() {
#ifdef Q_OS_WIN
        QSKIP("the registry keeps texts as texts: there is no file to hand-edit");
#endif
        const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quillmark/Partwright.conf");
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile conf(file);
        QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write("[General]\nStart%20With%20These%20Character=ab,cd\n");
        conf.close();
        const SettingsStore store;
        QCOMPARE(store.Read(QStringLiteral("Start With These Character"), QStringLiteral("bob")),
                 QStringLiteral("ab,cd"));
    }
};

PARTWRIGHT_UI_TEST_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
