#include "ui/form1.h"
#include "ui/pointer_feedback.h"
#include "ui/tests/test_support.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

using partwright::Form1;
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
        QTest::newRow("over Split!") << QStringList{"Check2"} << PointerKind::Custom;
        QTest::newRow("over Add File(s)") << QStringList{"Check1"} << PointerKind::Custom;
        QTest::newRow("over the folder button") << QStringList{"Check4"} << PointerKind::Custom;
        QTest::newRow("Split! then the window") << QStringList{"Check2", "Form1"} << PointerKind::Default;
        QTest::newRow("button then a frame") << QStringList{"Check1", "Frame1"} << PointerKind::Default;
        QTest::newRow("button then Option1") << QStringList{"Check1", "Option1"} << PointerKind::Default;
        QTest::newRow("button then Text3") << QStringList{"Check4", "Text3"} << PointerKind::Default;
        QTest::newRow("button then the list") << QStringList{"Check4", "ListView1"} << PointerKind::Default;
        // Option5, Option6, Text5 and Text6 leave the kind as they found it.
        QTest::newRow("button then Option6") << QStringList{"Check2", "Option6"} << PointerKind::Custom;
        QTest::newRow("frame then Text5") << QStringList{"Check2", "Frame2", "Text5"} << PointerKind::Default;
    }
    void hoverRuleFollowsThePointer() {
        QFETCH(QStringList, path);
        QFETCH(PointerKind, kind);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const QString& name : path) {
            QWidget* widget = name == QLatin1String("Form1") ? &form : form.findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            if (name == QLatin1String("Form1"))
                QTest::mouseMove(&form, QPoint(3, 3));
            else if (name == QLatin1String("Frame1") || name == QLatin1String("Frame2"))
                QTest::mouseMove(widget, QPoint(widget->width() - 3, widget->height() - 3));
            else if (name == QLatin1String("ListView1"))
                MoveOver(static_cast<QAbstractScrollArea*>(widget)->viewport());
            else
                MoveOver(widget);
        }
        QCOMPARE(form.Pointer().Kind(), kind);
        const Qt::CursorShape shown = form.cursor().shape();
        if (kind == PointerKind::Custom)
            QVERIFY(shown == Qt::BitmapCursor || shown == Qt::PointingHandCursor);
        else
            QCOMPARE(shown, Qt::ArrowCursor);
    }

    void busyWorkKeepsTheHourglassOverEverything() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Pointer().BeginBusy();
        for (const char* name : {"Check1", "Check2", "Option1", "Text1"}) {
            MoveOver(form.findChild<QWidget*>(name));
            QCOMPARE(form.Pointer().Kind(), PointerKind::Hourglass);
        }
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(form.findChild<QLineEdit*>("Text1")->cursor().shape(), Qt::WaitCursor);
        form.Pointer().EndBusy();
        QCOMPARE(form.Pointer().Kind(), PointerKind::Default);
        QCOMPARE(form.findChild<QLineEdit*>("Text1")->cursor().shape(), Qt::IBeamCursor);
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
