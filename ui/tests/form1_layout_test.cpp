#include "filelist/file_list.h"
#include "ui/form1.h"
#include "ui/tests/test_support.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using partwright::Form1;
namespace test = partwright::test;

namespace {

QRect Twips(int left, int top, int width, int height) {
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    return {px(left), px(top), px(width), px(height)};
}

}  // namespace

class Form1LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void windowIsFixedAtItsClientSizeWithoutMaximize() {
        Form1 form;
        QCOMPARE(form.size(), QSize(513, 392));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.windowTitle(), QStringLiteral("Partwright"));
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    }

    void controlsStandWhereTheLayoutPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("Command1") << "Command1" << Twips(-720, 2640, 615, 495);
        QTest::newRow("Check1") << "Check1" << Twips(120, 2040, 2415, 1215);
        QTest::newRow("Check4") << "Check4" << Twips(2640, 2040, 2415, 1215);
        QTest::newRow("Check2") << "Check2" << Twips(5160, 2040, 2415, 1215);
        QTest::newRow("ListView1") << "ListView1" << Twips(120, 120, 7455, 1815);
        QTest::newRow("Frame1") << "Frame1" << Twips(120, 3360, 7455, 950);
        QTest::newRow("Option1") << "Option1" << Twips(120, 290, 2775, 255);
        QTest::newRow("Text2") << "Text2" << Twips(6480, 260, 855, 330);
        QTest::newRow("Option5") << "Option5" << Twips(120, 600, 2175, 255);
        QTest::newRow("Frame2") << "Frame2" << Twips(120, 4440, 7455, 1300);
        QTest::newRow("Option4") << "Option4" << Twips(120, 290, 6495, 255);
        QTest::newRow("Text3") << "Text3" << Twips(4200, 550, 855, 330);
        QTest::newRow("Option6") << "Option6" << Twips(120, 900, 7125, 255);
        QTest::newRow("Text5") << "Text5" << Twips(3120, 840, 885, 330);
        QTest::newRow("Text6") << "Text6" << Twips(6600, 840, 735, 330);
    }
    void controlsStandWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        Form1 form;
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), expected);
    }

    void framesHoldTheirControls() {
        Form1 form;
        const auto* frame1 = form.findChild<QGroupBox*>("Frame1");
        const auto* frame2 = form.findChild<QGroupBox*>("Frame2");
        for (const char* name : {"Option1", "Text1", "Option2", "Text2", "Option5"})
            QCOMPARE(form.findChild<QWidget*>(name)->parentWidget(), frame1);
        for (const char* name : {"Option3", "Option4", "Text3", "Option6", "Text5", "Text6"})
            QCOMPARE(form.findChild<QWidget*>(name)->parentWidget(), frame2);
        QCOMPARE(frame1->title(), QStringLiteral("Split By Options"));
        QCOMPARE(frame2->title(), QStringLiteral("Save Options"));
    }

    void captionsAndFonts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("points");
        QTest::newRow("Check1") << "Check1" << "Add File(s)" << 11.25;
        QTest::newRow("Check4") << "Check4" << "Add All File(s) In Folder" << 11.25;
        QTest::newRow("Check2") << "Check2" << "Split!" << 11.25;
        QTest::newRow("Option1") << "Option1" << "Split every x number of lines:" << 9.0;
        QTest::newRow("Option2") << "Option2" << "Split every x characters:" << 9.0;
        QTest::newRow("Option5") << "Option5" << "Split every blank line" << 9.0;
        QTest::newRow("Option3") << "Option3" << "Save filename as first x characters of split:" << 9.0;
        QTest::newRow("Option4") << "Option4"
                                 << "Save as [filename]-0001.txt, [filename]-0002.txt, [filename]-0003.txt, etc."
                                 << 9.0;
        QTest::newRow("Option6") << "Option6"
                                 << "Save filename with characters   [Text5]       and these counting numbers   [Text6]"
                                 << 9.0;
    }
    void captionsAndFonts() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(double, points);
        Form1 form;
        auto* button = form.findChild<QAbstractButton*>(name);
        QVERIFY(button);
        // A long picture-button caption is wrapped onto two lines.
        QCOMPARE(button->text().replace(QLatin1Char('\n'), QLatin1Char(' ')), caption);
        QCOMPARE(button->font().family(), QStringLiteral("Arial"));
        QVERIFY(button->font().bold());
        QCOMPARE(button->font().pointSizeF(), points);
    }

    void pictureButtonsShowA32PixelPictureAboveTheCaption() {
        Form1 form;
        for (const char* name : {"Check1", "Check2", "Check4"}) {
            auto* button = form.findChild<QToolButton*>(name);
            QVERIFY(button);
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QCOMPARE(button->iconSize(), QSize(32, 32));
            QVERIFY(!button->icon().isNull());
            QVERIFY(!button->isCheckable());
            // The picture is drawn, not blank.
            const QImage picture = button->icon().pixmap(32, 32).toImage();
            int opaque = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) opaque += qAlpha(picture.pixel(x, y)) > 0;
            QVERIFY2(opaque > 100, name);
        }
    }

    void listHasOneColumnAndItsToolTip() {
        Form1 form;
        auto& list = form.List();
        QCOMPARE(list.columnCount(), 1);
        QCOMPARE(list.headerItem()->text(0), QStringLiteral("Text File(s)"));
        QCOMPARE(list.columnWidth(0), 6500 / 15);
        QCOMPARE(list.toolTip(), QStringLiteral("Drag and drop files here. Double-click item to remove it. Move bar "
                                                "to right and out of window to reveal full names."));
    }

    void nothingShowsFocusAtStartAndTabFollowsTheTable() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.findChild<QWidget*>("Command1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.findChild<QWidget*>("Check1"));

        const QStringList order = {"Check1", "Check2", "ListView1", "Check4", "Option1", "Text1",
                                   "Option2", "Text2", "Option3", "Option4", "Text3", "Option5",
                                   "Option6", "Text5", "Text6"};
        QWidget* widget = form.findChild<QWidget*>("Command1");
        QStringList chain;
        while (chain.size() < order.size()) {
            widget = widget->nextInFocusChain();
            if (order.contains(widget->objectName())) chain << widget->objectName();
        }
        QCOMPARE(chain, order);
    }

    void tabEntersAnOptionGroupOnlyAtItsSelectedOption_data() {
        QTest::addColumn<QStringList>("select");
        QTest::addColumn<QStringList>("stops");
        QTest::newRow("Option1 and Option4")
            << QStringList{"Option1", "Option4"}
            << QStringList{"Check1", "Check2", "ListView1", "Check4", "Option1", "Text1", "Text2",
                           "Option4", "Text3", "Text5", "Text6", "Command1", "Check1"};
        QTest::newRow("Option5 and Option6")
            << QStringList{"Option5", "Option6"}
            << QStringList{"Check1", "Check2", "ListView1", "Check4", "Text1", "Text2", "Text3",
                           "Option5", "Option6", "Text5", "Text6", "Command1"};
    }
    void tabEntersAnOptionGroupOnlyAtItsSelectedOption() {
        QFETCH(QStringList, select);
        QFETCH(QStringList, stops);
        Form1 form;
        for (const QString& name : select) form.findChild<QRadioButton*>(name)->setChecked(true);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QStringList visited;
        for (int i = 0; i < stops.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, stops);
        // Shift+Tab walks the same stops backwards.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), stops[stops.size() - 2]);
    }

    void optionGroupsAreExclusivePerFrame() {
        Form1 form;
        auto* option2 = form.findChild<QRadioButton*>("Option2");
        auto* option6 = form.findChild<QRadioButton*>("Option6");
        option2->click();
        option6->click();
        QVERIFY(option2->isChecked());
        QVERIFY(option6->isChecked());
        for (const char* name : {"Option1", "Option5", "Option3", "Option4"})
            QVERIFY2(!form.findChild<QRadioButton*>(name)->isChecked(), name);
        for (QWidget* control : form.findChildren<QWidget*>()) QVERIFY(control->isEnabled());
    }

    void centredPositionHalvesTheDifference_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("1920 x 1080") << QRect(0, 0, 1920, 1080) << QSize(519, 421) << QPoint(700, 329);
        QTest::newRow("1280 x 800") << QRect(0, 0, 1280, 800) << QSize(513, 392) << QPoint(383, 204);
        QTest::newRow("second screen") << QRect(1920, 0, 1024, 768) << QSize(524, 368) << QPoint(2170, 200);
    }
    void centredPositionHalvesTheDifference() {
        QFETCH(QRect, screen);
        QFETCH(QSize, outer);
        QFETCH(QPoint, expected);
        QCOMPARE(partwright::CenteredPosition(screen, outer), expected);
    }
};

PARTWRIGHT_UI_TEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
