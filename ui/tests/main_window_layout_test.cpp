#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/option_frame.h"
#include "ui/options_dialog.h"
#include "ui/settings_store.h"
#include "ui/tests/main_window_access.h"
#include "ui/tests/test_support.h"

#include <QAccessible>
#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QToolButton>

using partwright::MainWindow;
namespace test = partwright::test;

namespace {

QRect Twips(int left, int top, int width, int height) {
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    return {px(left), px(top), px(width), px(height)};
}

// The captions of a window's buttons, options, frames and field labels,
// each with its "&"; not OK and Cancel, which Enter and Esc press.
QStringList Captions(const QWidget& window) {
    QStringList captions;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const auto* box = qobject_cast<const QDialogButtonBox*>(button->parentWidget());
        if (box && box->standardButton(button) != QDialogButtonBox::NoButton) continue;
        if (!button->text().isEmpty()) captions << button->text();
    }
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy()) captions << label->text();
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>())
        if (frame->title().contains(QLatin1Char('&'))) captions << frame->title();
    return captions;
}

// The captions without a mnemonic, or with a letter another has.
QStringList MnemonicClashes(const QStringList& captions) {
    QStringList clashes;
    QMap<QChar, QString> taken;
    for (const QString& caption : captions) {
        const qsizetype at = caption.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= caption.size()) {
            clashes << caption + " has no mnemonic";
            continue;
        }
        const QChar letter = caption[at + 1].toLower();
        if (taken.contains(letter)) clashes << caption + " shares its letter with " + taken[letter];
        taken.insert(letter, caption);
    }
    return clashes;
}

}  // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init() { test::ClearStore(); }

    void windowOpensAtItsDesignedSizeAndTheListTakesTheRoomItGains() {
        MainWindow window;
        window.show();
        // The designed client area lies below the menu bar.
        auto* surface = window.findChild<QWidget*>("windowSurface");
        auto* menuBar = window.findChild<QWidget*>("menuBar");
        QCOMPARE(surface->size(), QSize(513, 517));
        QCOMPARE(surface->geometry().top(), menuBar->geometry().bottom() + 1);
        QCOMPARE(window.size(), QSize(513, 517 + menuBar->height()));
        QCOMPARE(window.minimumSize(), window.size());
        QCOMPARE(window.windowTitle(), QStringLiteral("Partwright"));
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(window.palette().color(QPalette::Window), QColor(Qt::white));

        // Grown by 300 x 200: the list takes all of it; the rest moves down
        // with the list's bottom edge and keeps its places against each other.
        const QStringList below = {"addFilesButton", "addFolderButton", "splitButton", "splitOptions", "saveOptions"};
        QMap<QString, QRect> before;
        for (const QString& name : below) before[name] = window.findChild<QWidget*>(name)->geometry();
        auto* list = window.findChild<QTreeWidget*>("fileList");
        const QRect listBefore = list->geometry();
        const int columnBefore = list->columnWidth(0);
        window.resize(window.size() + QSize(300, 200));
        QTRY_COMPARE(surface->size(), QSize(813, 717));
        QCOMPARE(list->geometry(), listBefore.adjusted(0, 0, 300, 200));
        QCOMPARE(list->columnWidth(0), columnBefore + 300);
        for (const QString& name : below) {
            const QRect now = window.findChild<QWidget*>(name)->geometry();
            QCOMPARE(now.topLeft(), before[name].topLeft() + QPoint(0, 200));
            QCOMPARE(now.height(), before[name].height());
        }
        QCOMPARE(window.findChild<QWidget*>("splitOptions")->width(), before["splitOptions"].width() + 300);
    }

    void controlsStandWhereTheLayoutPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("addFilesButton") << "addFilesButton" << Twips(120, 2040, 2415, 1215);
        QTest::newRow("addFolderButton") << "addFolderButton" << Twips(2640, 2040, 2415, 1215);
        QTest::newRow("splitButton") << "splitButton" << Twips(5160, 2040, 2415, 1215);
        QTest::newRow("fileList") << "fileList" << Twips(120, 120, 7455, 1815);
        QTest::newRow("splitOptions") << "splitOptions" << Twips(120, 3360, 7455, 1880);
        QTest::newRow("linesOption") << "linesOption" << Twips(120, 290, 2775, 255);
        QTest::newRow("separatorField") << "separatorField" << Twips(6480, 260, 855, 330);
        QTest::newRow("blankLinesOption") << "blankLinesOption" << Twips(120, 600, 2175, 255);
        QTest::newRow("sizeOption") << "sizeOption" << Twips(120, 910, 2775, 255);
        QTest::newRow("pieceSizeField") << "pieceSizeField" << Twips(3000, 880, 855, 330);
        QTest::newRow("byColumnOption") << "byColumnOption" << Twips(3960, 600, 2415, 255);
        QTest::newRow("columnField") << "columnField" << Twips(6480, 570, 855, 330);
        QTest::newRow("partsOption") << "partsOption" << Twips(3960, 910, 2415, 255);
        QTest::newRow("partsField") << "partsField" << Twips(6480, 880, 855, 330);
        QTest::newRow("matchOption") << "matchOption" << Twips(120, 1220, 2775, 255);
        QTest::newRow("matchField") << "matchField" << Twips(3000, 1190, 4335, 330);
        QTest::newRow("csvRecordsOption") << "csvRecordsOption" << Twips(120, 1530, 4200, 255);
        QTest::newRow("delimiterField") << "delimiterField" << Twips(6480, 1500, 855, 330);
        QTest::newRow("saveOptions") << "saveOptions" << Twips(120, 5370, 7455, 1610);
        QTest::newRow("numberedOption") << "numberedOption" << Twips(120, 290, 6495, 255);
        QTest::newRow("nameLengthField") << "nameLengthField" << Twips(4200, 550, 855, 330);
        QTest::newRow("prefixOption") << "prefixOption" << Twips(120, 900, 7125, 255);
        QTest::newRow("prefixField") << "prefixField" << Twips(3120, 840, 885, 330);
        QTest::newRow("firstNumberField") << "firstNumberField" << Twips(6600, 840, 735, 330);
        QTest::newRow("templateOption") << "templateOption" << Twips(120, 1210, 2775, 255);
        QTest::newRow("templateField") << "templateField" << Twips(3000, 1180, 4335, 330);
    }
    void controlsStandWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        MainWindow window;
        auto* control = window.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), expected);
    }

    void framesHoldTheirControls() {
        MainWindow window;
        const auto* splitOptions = window.findChild<QGroupBox*>("splitOptions");
        const auto* saveOptions = window.findChild<QGroupBox*>("saveOptions");
        for (const char* name :
             {"linesOption", "linesPerPieceField", "separatorOption", "separatorField", "blankLinesOption",
              "sizeOption", "pieceSizeField", "byColumnOption", "columnField", "partsOption", "partsField",
              "matchOption", "matchField", "csvRecordsOption", "delimiterField"})
            QCOMPARE(window.findChild<QWidget*>(name)->parentWidget(), splitOptions);
        for (const char* name : {"firstCharactersOption", "numberedOption", "nameLengthField", "prefixOption",
                                 "prefixField", "firstNumberField", "templateOption", "templateField"})
            QCOMPARE(window.findChild<QWidget*>(name)->parentWidget(), saveOptions);
        QCOMPARE(splitOptions->title(), QStringLiteral("Split By Options"));
        QCOMPARE(saveOptions->title(), QStringLiteral("Save Options"));
        // No control sits on a border line: each lies inside its frame's border.
        for (const auto* frame : window.findChildren<partwright::OptionFrame*>()) {
            const QRect inside = frame->BorderRect().adjusted(1, 1, -1, -1);
            QVERIFY(inside.top() <= frame->fontMetrics().height());  // the title is set into the top line
            for (const QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY2(inside.contains(control->geometry()), qPrintable(control->objectName()));
        }
        QCOMPARE(window.findChildren<partwright::OptionFrame*>().size(), 2);
    }

    void everyFieldHasItsOwnSpokenName() {
        MainWindow window;
        QSet<QString> names;
        for (const QLineEdit* field : window.findChildren<QLineEdit*>()) {
            QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
            names.insert(field->accessibleName());
        }
        QCOMPARE(names.size(), 11);
    }

    void captionsAndFonts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("points");
        QTest::newRow("addFilesButton") << "addFilesButton"
                                        << "Add File(s)" << 11.25;
        QTest::newRow("addFolderButton") << "addFolderButton"
                                         << "Add All File(s) In Folder" << 11.25;
        QTest::newRow("splitButton") << "splitButton"
                                     << "Split!" << 11.25;
        QTest::newRow("linesOption") << "linesOption"
                                     << "Split every x number of lines:" << 9.0;
        QTest::newRow("separatorOption") << "separatorOption"
                                         << "Split every x characters:" << 9.0;
        QTest::newRow("blankLinesOption") << "blankLinesOption"
                                          << "Split every blank line" << 9.0;
        QTest::newRow("firstCharactersOption") << "firstCharactersOption"
                                               << "Save filename as first x characters of split:" << 9.0;
        QTest::newRow("numberedOption") << "numberedOption"
                                        << "Save as [filename]-0001.txt, [filename]-0002.txt, [filename]-0003.txt, etc."
                                        << 9.0;
        QTest::newRow("prefixOption")
            << "prefixOption"
            << "Save filename with characters   [Text5]       and these counting numbers   [Text6]" << 9.0;
    }
    void captionsAndFonts() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(double, points);
        MainWindow window;
        auto* button = window.findChild<QAbstractButton*>(name);
        QVERIFY(button);
        // A long picture-button caption is wrapped onto two lines; every
        // caption has a mnemonic, a letter of its own words.
        QString shown = button->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
        QCOMPARE(shown.count(QLatin1Char('&')), 1);
        QCOMPARE(shown.remove(QLatin1Char('&')), caption);
        QCOMPARE(button->font().family(), QStringLiteral("Arial"));
        QVERIFY(button->font().bold());
#ifdef _WIN32
        // Wine's offscreen platform measures with a wider fallback font, so a
        // caption may be fitted smaller than it is designed; never larger.
        QVERIFY(button->font().pointSizeF() <= points);
#else
        QCOMPARE(button->font().pointSizeF(), points);
#endif
    }

    void pictureButtonsShowA32PixelPictureAboveTheCaption() {
        MainWindow window;
        for (const char* name : {"addFilesButton", "splitButton", "addFolderButton"}) {
            auto* button = window.findChild<QToolButton*>(name);
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
        MainWindow window;
        auto& list = test::List(window);
        QCOMPARE(list.columnCount(), 1);
        QCOMPARE(list.headerItem()->text(0), QStringLiteral("Text File(s)"));
        QCOMPARE(list.columnWidth(0), 6500 / 15);
        QVERIFY(
            list.toolTip().startsWith(QStringLiteral("Drag and drop files here. Double-click item to remove it. "
                                                     "Move bar to right and out of window to reveal full names.")));
    }

    // The header strip runs the list's whole width, as a list's header does,
    // past the column's right edge, in the system's colours, not the
    // window's white.
    void listHeaderRunsTheListsWholeWidth() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QHeaderView& header = *test::List(window).header();
        QVERIFY(header.sectionSize(0) + 20 < header.width());
        const QImage strip = header.grab().toImage();
        const int y = strip.height() / 2;
        const QColor white(Qt::white);
        const QColor past = strip.pixelColor(strip.width() - 10, y);
        QVERIFY2(past != white, qPrintable(past.name()));
        QCOMPARE(past, QApplication::palette(&header).color(QPalette::Window));
    }

    // Alt and a letter reach every button, option, labelled field and menu
    // of a window, each its own letter: the main window, Options, and the
    // menus' items within each menu.
    void everyCaptionHasAMnemonicOfItsOwn() {
        MainWindow window;
        QStringList main = Captions(window);
        for (const QAction* action : window.findChild<QMenuBar*>("menuBar")->actions()) main << action->text();
        QCOMPARE(MnemonicClashes(main), QStringList());
        QCOMPARE(main.size(), 19);
        for (const QAction* menu : window.findChild<QMenuBar*>("menuBar")->actions()) {
            QStringList items;
            for (const QAction* item : menu->menu()->actions())
                if (!item->isSeparator()) items << item->text();
            QCOMPARE(MnemonicClashes(items), QStringList());
        }
        partwright::SettingsStore store;
        partwright::OptionsDialog options(store);
        const QStringList optionCaptions = Captions(options);
        QVERIFY(optionCaptions.size() >= 11);
        QCOMPARE(MnemonicClashes(optionCaptions), QStringList());
    }

    // Alt and an option's letter select the option and give it the keyboard;
    // Tab then goes on into the option's own field.
    void altSelectsAnOptionAndTabGoesIntoItsField_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("field");
        QTest::newRow("lines") << "linesOption"
                               << "linesPerPieceField";
        QTest::newRow("characters") << "separatorOption"
                                    << "separatorField";
        QTest::newRow("bytes") << "sizeOption"
                               << "pieceSizeField";
        QTest::newRow("first characters") << "firstCharactersOption"
                                          << "nameLengthField";
        QTest::newRow("prefix") << "prefixOption"
                                << "prefixField";
    }
    void altSelectsAnOptionAndTabGoesIntoItsField() {
        QFETCH(QString, option);
        QFETCH(QString, field);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* button = window.findChild<QRadioButton*>(option);
        const QString caption = button->text();
        const QChar letter = caption.at(caption.indexOf(QLatin1Char('&')) + 1).toUpper();
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(letter.unicode()), Qt::AltModifier);
        // The option is pressed as a click would press it, then released.
        QTRY_VERIFY(button->isChecked());
        QCOMPARE(QApplication::focusWidget(), button);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), field);
    }

    void screenReadersHearAFrameAndMenuItemsWithoutKeyNames() {
        MainWindow window;
        window.show();
        QCOMPARE(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window);
        for (const QAction* action : window.findChildren<QAction*>())
            QVERIFY2(!action->text().contains(QLatin1Char('\t')), qPrintable(action->text()));
        QVERIFY(window.findChild<QAction*>("aboutAction"));
        QVERIFY(window.findChild<QAction*>("readmeAction"));
    }

    void nothingShowsFocusAtStartAndTabFollowsTheTable() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // The list has the keyboard; Tab goes on to Add File(s).
        QCOMPARE(QApplication::focusWidget(), window.findChild<QWidget*>("fileList"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.findChild<QWidget*>("addFilesButton"));

        const QStringList order = {"fileList",         "addFilesButton",  "addFolderButton",
                                   "splitButton",      "linesOption",     "linesPerPieceField",
                                   "separatorOption",  "separatorField",  "firstCharactersOption",
                                   "numberedOption",   "nameLengthField", "blankLinesOption",
                                   "sizeOption",       "pieceSizeField",  "byColumnOption",
                                   "columnField",      "partsOption",     "partsField",
                                   "matchOption",      "matchField",      "csvRecordsOption",
                                   "delimiterField",   "prefixOption",    "prefixField",
                                   "firstNumberField", "templateOption",  "templateField"};
        QWidget* widget = &window;
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
        QTest::newRow("linesOption and numberedOption")
            << QStringList{"linesOption", "numberedOption"}
            << QStringList{"fileList",         "addFilesButton",   "addFolderButton",
                           "splitButton",      "linesOption",      "linesPerPieceField",
                           "separatorField",   "numberedOption",   "nameLengthField",
                           "pieceSizeField",   "columnField",      "partsField",
                           "matchField",       "csvRecordsOption", "prefixField",
                           "firstNumberField", "templateField",    "fileList"};
        QTest::newRow("blankLinesOption and prefixOption")
            << QStringList{"blankLinesOption", "prefixOption"}
            << QStringList{"fileList",           "addFilesButton", "addFolderButton", "splitButton",
                           "linesPerPieceField", "separatorField", "nameLengthField", "blankLinesOption",
                           "pieceSizeField",     "columnField",    "partsField",      "matchField",
                           "csvRecordsOption",   "prefixOption",   "prefixField",     "firstNumberField",
                           "templateField",      "fileList"};
    }
    void tabEntersAnOptionGroupOnlyAtItsSelectedOption() {
        QFETCH(QStringList, select);
        QFETCH(QStringList, stops);
        MainWindow window;
        for (const QString& name : select) window.findChild<QRadioButton*>(name)->setChecked(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList visited = {QApplication::focusWidget()->objectName()};
        for (int i = 1; i < stops.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, stops);
        // Shift+Tab walks the same stops backwards.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), stops[stops.size() - 2]);
    }

    void optionGroupsAreExclusivePerFrame() {
        MainWindow window;
        auto* separatorOption = window.findChild<QRadioButton*>("separatorOption");
        auto* prefixOption = window.findChild<QRadioButton*>("prefixOption");
        separatorOption->click();
        prefixOption->click();
        QVERIFY(separatorOption->isChecked());
        QVERIFY(prefixOption->isChecked());
        for (const char* name : {"linesOption", "blankLinesOption", "firstCharactersOption", "numberedOption"})
            QVERIFY2(!window.findChild<QRadioButton*>(name)->isChecked(), name);
        // All is enabled but the delimiter, which waits for CSV records.
        for (QWidget* control : window.findChildren<QWidget*>()) {
            const bool delimiter = control->objectName().startsWith(QLatin1String("delimiter"));
            QCOMPARE(control->isEnabled(), !delimiter);
        }
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

PARTWRIGHT_UI_TEST_MAIN(MainWindowLayoutTest)
#include "main_window_layout_test.moc"
