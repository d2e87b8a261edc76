#include "filelist/pointer_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using partwright::DataFileBeside;
using partwright::LoadPointerFile;

namespace {

// A 32 x 32 icon as Qt writes it; `asCursor` turns it into a cursor file
// with the hotspot in the directory entry.
QByteArray IconBytes(bool asCursor, int hotX = 0, int hotY = 0) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    if (asCursor) {
        bytes[2] = 2;
        bytes[10] = static_cast<char>(hotX & 0xFF);
        bytes[11] = static_cast<char>(hotX >> 8);
        bytes[12] = static_cast<char>(hotY & 0xFF);
        bytes[13] = static_cast<char>(hotY >> 8);
    }
    return bytes;
}

}  // namespace

class PointerFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void readsImageAndHotspot_data();
    void readsImageAndHotspot();
    void refusesWhatIsNoPointerImage_data();
    void refusesWhatIsNoPointerImage();
    void missingFileGivesNothing();
    void dataFileBesideTheProgramComesBeforeTheSharedFolder();

private:
    [[nodiscard]] QString Write(const QByteArray& bytes) {
        const QString path = temp_.filePath(QStringLiteral("pointer-%1").arg(++written_));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
        return path;
    }

    QTemporaryDir temp_;
    int written_ = 0;
};

void PointerFileTest::readsImageAndHotspot_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QPoint>("hotspot");
    QTest::newRow("icon: top-left") << IconBytes(false) << QPoint(0, 0);
    QTest::newRow("cursor: its own hotspot") << IconBytes(true, 5, 27) << QPoint(5, 27);
    QTest::newRow("cursor: hotspot outside the image") << IconBytes(true, 40, 3) << QPoint(0, 0);
}

void PointerFileTest::readsImageAndHotspot() {
    QFETCH(QByteArray, bytes);
    QFETCH(QPoint, hotspot);
    const auto cursor = LoadPointerFile(Write(bytes));
    QVERIFY(cursor.has_value());
    QCOMPARE(cursor->shape(), Qt::BitmapCursor);
    QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
    QCOMPARE(cursor->hotSpot(), hotspot);
}

void PointerFileTest::refusesWhatIsNoPointerImage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray wrongType = IconBytes(false);
    wrongType[2] = 3;
    QByteArray noImages = IconBytes(false);
    noImages[4] = 0;
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("drag me, I am not an icon");
    QTest::newRow("header only") << IconBytes(false).left(22);
    QTest::newRow("cut in the pixels") << IconBytes(false).left(60);
    QTest::newRow("unknown type") << wrongType;
    QTest::newRow("no images") << noImages;
}

void PointerFileTest::refusesWhatIsNoPointerImage() {
    QFETCH(QByteArray, bytes);
    QVERIFY(!LoadPointerFile(Write(bytes)).has_value());
}

void PointerFileTest::missingFileGivesNothing() {
    QVERIFY(!LoadPointerFile(temp_.filePath(QStringLiteral("absent.ico"))).has_value());
}

void PointerFileTest::dataFileBesideTheProgramComesBeforeTheSharedFolder() {
    // An installed tree: prefix/bin/partwright and prefix/share/partwright/.
    const QDir prefix(temp_.path());
    QVERIFY(prefix.mkpath(QStringLiteral("bin")) && prefix.mkpath(QStringLiteral("share/partwright")));
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString beside = prefix.filePath(QStringLiteral("bin/drag.ico"));
    const QString shared = prefix.filePath(QStringLiteral("share/partwright/drag.ico"));

    const auto create = [](const QString& path) { return QFile(path).open(QIODevice::WriteOnly); };

    QCOMPARE(DataFileBeside(bin, QStringLiteral("drag.ico")), beside);  // neither: where it looked first
    QVERIFY(create(shared));
    QCOMPARE(DataFileBeside(bin, QStringLiteral("drag.ico")), shared);
    QVERIFY(create(beside));
    QCOMPARE(DataFileBeside(bin, QStringLiteral("drag.ico")), beside);
}

QTEST_MAIN(PointerFileTest)
#include "pointer_file_test.moc"
