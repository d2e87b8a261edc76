// The window's captions with a font of other widths than the one they were
// measured for: fontconfig is told to give DejaVu Sans for Arial, as a system
// without Arial or its metric twin does. No caption may clip, and no part of
// the prefix option's placeholders may show.
#include "ui/main_window.h"
#include "ui/sentence_option.h"
#include "ui/tests/test_support.h"

#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>

#include <algorithm>

using partwright::MainWindow;

namespace {

int CaptionRoom(const QRadioButton* option) {
    QStyleOptionButton styleOption;
    styleOption.initFrom(option);
    return option->width() -
           option->style()->subElementRect(QStyle::SE_RadioButtonContents, &styleOption, option).left();
}

}  // namespace

class MainWindowFontsTest : public QObject {
    Q_OBJECT
private slots:
    void captionsFitWithTheFallbackFont() {
        MainWindow window;
        window.show();
        auto* lines = window.findChild<QRadioButton*>("linesOption");
        // Without Arial a sans-serif font stands in, never a serif one.
        const QString family = QFontInfo(lines->font()).family();
        QVERIFY2(family != QStringLiteral("Arial") && !family.contains(QStringLiteral("Serif")), qPrintable(family));
        for (const char* name : {"linesOption", "separatorOption", "blankLinesOption", "sizeOption",
                                 "firstCharactersOption", "numberedOption"}) {
            auto* option = window.findChild<QRadioButton*>(name);
            const QString drawn = QString(option->text()).remove(QLatin1Char('&'));
            QVERIFY2(option->fontMetrics().horizontalAdvance(drawn) <= CaptionRoom(option), name);
        }
        // Two captions in one row are drawn at one size.
        QCOMPARE(lines->font().pointSizeF(), window.findChild<QRadioButton*>("separatorOption")->font().pointSizeF());

        auto* prefix = window.findChild<partwright::SentenceOption*>("prefixOption");
        QCOMPARE(prefix->Words(), (QStringList{"Save filename &with characters", "and these counting numbers"}));
        const QList<QRect> places = prefix->WordPlaces();
        const QRect fields[] = {window.findChild<QLineEdit*>("prefixField")->geometry(),
                                window.findChild<QLineEdit*>("firstNumberField")->geometry()};
        for (int i = 0; i < 2; ++i) {
            const QRect place = places[i].translated(prefix->pos());  // in the frame, as the fields
            QVERIFY(QFontMetrics(prefix->WordFont(i))
                        .horizontalAdvance(QString(prefix->Words()[i]).remove(QLatin1Char('&'))) <= place.width());
            QVERIFY(place.right() < fields[i].left());
            if (i > 0) QVERIFY(place.left() > fields[i - 1].right());
        }
        // Drawn, the option shows its words only: nothing where the placeholders stand.
        QImage picture(prefix->size(), QImage::Format_ARGB32);
        picture.fill(Qt::white);
        prefix->render(&picture);
        const auto inkBetween = [&picture](int from, int to) {
            int ink = 0;
            for (int x = std::max(from, 0); x < std::min(to, picture.width()); ++x)
                for (int y = 0; y < picture.height(); ++y)
                    if (qGray(picture.pixel(x, y)) < 160) ++ink;
            return ink;
        };
        const auto wordEnd = [&](int i) {
            return places[i].left() + QFontMetrics(prefix->WordFont(i)).horizontalAdvance(prefix->Words()[i]);
        };
        QVERIFY(inkBetween(places[0].left(), wordEnd(0)) > 0);
        QCOMPARE(inkBetween(wordEnd(0) + 2, places[1].left()), 0);
        QCOMPARE(inkBetween(wordEnd(1) + 2, picture.width()), 0);
    }
};

int main(int argc, char** argv) {
    partwright::test::ScopedConfigHome configHome;
    QTemporaryDir fonts;
    const QString config = fonts.filePath("fonts.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern">
    <test name="family"><string>Arial</string></test>
    <edit name="family" mode="assign" binding="strong"><string>DejaVu Sans</string></edit>
  </match>
</fontconfig>
)");
    file.close();
    qputenv("FONTCONFIG_FILE", config.toLocal8Bit());
    QApplication app(argc, argv);
    MainWindowFontsTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "main_window_fonts_test.moc"
