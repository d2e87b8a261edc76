#include "ui/pointer_feedback.h"
#include "ui/main_window.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

using partwright::MainWindow;
using partwright::PointerKind;
namespace test = partwright::test;

Q_DECLARE_METATYPE(PointerKind)

namespace {

void MoveOver(QWidget* widget) { QTest::mouseMove(widget, widget->rect().center()); }

}  // namespace

class PointerFeedbackTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void shippedHandHasItsHotspotAtTheFingertip() {
        const QCursor hand = partwright::HoverCursor(QStringLiteral(PARTWRIGHT_ASSETS_DIR "/HAND-M.CUR"));
        QCOMPARE(hand.shape(), Qt::BitmapCursor);
        QCOMPARE(hand.hotSpot(), QPoint(10, 0));
        QCOMPARE(hand.pixmap().size(), QSize(32, 32));
    }

    void missingOrUnreadableHandFallsBackToThePointingHand_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a cursor") << QByteArray("this is text, not a cursor file");
        QTest::newRow("truncated cursor") << QByteArray("\0\0\2\0\1\0 ", 7);
    }
    void missingOrUnreadableHandFallsBackToThePointingHand() {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        const QString path = folder.filePath("HAND-M.CUR");
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QCOMPARE(partwright::HoverCursor(path).shape(), Qt::PointingHandCursor);
    }

    void hoverRuleFollowsThePointer_data() {
        QTest::addColumn<QStringList>("path");  // controls crossed, in order
        QTest::addColumn<PointerKind>("kind");
        QTest::newRow("over Split!") << QStringList{"splitButton"} << PointerKind::Custom;
        QTest::newRow("over Add File(s)") << QStringList{"addFilesButton"} << PointerKind::Custom;
        QTest::newRow("over the folder button") << QStringList{"addFolderButton"} << PointerKind::Custom;
        QTest::newRow("Split! then the window") << QStringList{"splitButton", "mainWindow"} << PointerKind::Default;
        QTest::newRow("button then a frame") << QStringList{"addFilesButton", "splitOptions"} << PointerKind::Default;
        QTest::newRow("button then linesOption")
            << QStringList{"addFilesButton", "linesOption"} << PointerKind::Default;
        QTest::newRow("button then nameLengthField")
            << QStringList{"addFolderButton", "nameLengthField"} << PointerKind::Default;
        QTest::newRow("button then the list") << QStringList{"addFolderButton", "fileList"} << PointerKind::Default;
        // blankLinesOption, prefixOption, prefixField and firstNumberField leave the kind as they found it.
        QTest::newRow("button then prefixOption") << QStringList{"splitButton", "prefixOption"} << PointerKind::Custom;
        QTest::newRow("frame then prefixField")
            << QStringList{"splitButton", "saveOptions", "prefixField"} << PointerKind::Default;
    }
    void hoverRuleFollowsThePointer() {
        QFETCH(QStringList, path);
        QFETCH(PointerKind, kind);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const QString& name : path) {
            QWidget* widget = name == QLatin1String("mainWindow") ? &window : window.findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            if (name == QLatin1String("mainWindow"))
                QTest::mouseMove(&window, QPoint(3, 3));
            else if (name == QLatin1String("splitOptions") || name == QLatin1String("saveOptions"))
                QTest::mouseMove(widget, QPoint(widget->width() - 3, widget->height() - 3));
            else if (name == QLatin1String("fileList"))
                MoveOver(static_cast<QAbstractScrollArea*>(widget)->viewport());
            else
                MoveOver(widget);
        }
        QCOMPARE(test::Pointer(window).Kind(), kind);
        const Qt::CursorShape shown = window.cursor().shape();
        if (kind == PointerKind::Custom)
            QVERIFY(shown == Qt::BitmapCursor || shown == Qt::PointingHandCursor);
        else
            QCOMPARE(shown, Qt::ArrowCursor);
    }

    void busyWorkKeepsTheHourglassOverEverything() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        test::Pointer(window).BeginBusy();
        for (const char* name : {"addFilesButton", "splitButton", "linesOption", "linesPerPieceField"}) {
            MoveOver(window.findChild<QWidget*>(name));
            QCOMPARE(test::Pointer(window).Kind(), PointerKind::Hourglass);
        }
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(window.findChild<QLineEdit*>("linesPerPieceField")->cursor().shape(), Qt::WaitCursor);
        test::Pointer(window).EndBusy();
        QCOMPARE(test::Pointer(window).Kind(), PointerKind::Default);
        QCOMPARE(window.findChild<QLineEdit*>("linesPerPieceField")->cursor().shape(), Qt::IBeamCursor);
    }

    void nestedBusyWorkEndsWithTheOuterOne() {
        QWidget window;
        partwright::PointerFeedback pointer(window);
        pointer.BeginBusy();  // a split run
        pointer.BeginBusy();  // a folder walk started while it yields
        pointer.EndBusy();
        QCOMPARE(pointer.Kind(), PointerKind::Hourglass);
        pointer.Hover(PointerKind::Custom);
        QCOMPARE(pointer.Kind(), PointerKind::Hourglass);
        pointer.EndBusy();
        QCOMPARE(pointer.Kind(), PointerKind::Default);
        pointer.EndBusy();  // an unmatched end changes nothing
        QCOMPARE(pointer.Kind(), PointerKind::Default);
        pointer.Hover(PointerKind::Custom);
        QCOMPARE(pointer.Kind(), PointerKind::Custom);
    }
};

PARTWRIGHT_UI_TEST_MAIN(PointerFeedbackTest)
#include "pointer_feedback_test.moc"
