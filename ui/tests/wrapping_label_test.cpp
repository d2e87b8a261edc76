// A box's text wraps after path separators, Windows' "\" too, and is
// selected, copied and read out exactly as written.
#include "ui/wrapping_label.h"
#include "ui/tests/test_support.h"

#include <QAccessible>
#include <QClipboard>
#include <QMessageBox>

class WrappingLabelTest : public QObject {
    Q_OBJECT
private slots:
    void boxWrapsPathsAfterTheirSeparatorsAndCopiesThemAsWritten_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("nameWiderThanALine");
        const QString windows = QStringLiteral(
            "C:\\Users\\Documents and Settings\\quarterly-reports-2026\\"
            "northern-region\\warehouse-inventory\\pieces-of-the-large-export");
        const QString linux = QStringLiteral(
            "/home/someone/quarterly-reports-2026/northern-region/"
            "warehouse-inventory/pieces-of-the-large-export/out");
        QTest::newRow("Windows path") << QStringLiteral("Done.\n\n3 pieces written from 1 source, into %1").arg(windows)
                                      << false;
        QTest::newRow("Linux path") << QStringLiteral("Done.\n\n3 pieces written from 1 source, into %1").arg(linux)
                                    << false;
        QTest::newRow("folders that cannot take pieces")
            << QStringLiteral(
                   "The pieces cannot be written, so nothing was split:\n%1: access denied\n%2: the "
                   "folder does not exist")
                   .arg(windows, linux)
            << false;
        QTest::newRow("a name wider than a line")
            << QStringLiteral("D:\\%1\\small.txt").arg(QString(200, QLatin1Char('x'))) << true;
    }

    void boxWrapsPathsAfterTheirSeparatorsAndCopiesThemAsWritten() {
        QFETCH(QString, text);
        QFETCH(bool, nameWiderThanALine);
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Partwright"), text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        partwright::WrapAtSeparators(box);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* label = box.findChild<partwright::WrappingLabel*>(QStringLiteral("boxText"));
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->text(), text);
        QVERIFY2(box.width() <= box.fontMetrics().averageCharWidth() * 110, qPrintable(QString::number(box.width())));

        // Every line but a paragraph's last ends after a separator or a
        // space, and fits; the lines hold the text as it is.
        const int width = label->contentsRect().width();
        const QList<int> starts = label->LineStarts(width);
        QVERIFY(starts.size() > 4);
        const QFontMetricsF metrics(label->font());
        for (qsizetype i = 0; i < starts.size(); ++i) {
            const int end = i + 1 < starts.size() ? starts[i + 1] : static_cast<int>(text.size());
            const QString line = text.mid(starts[i], end - starts[i]);
            if (i + 1 < starts.size() && !line.endsWith(QLatin1Char('\n'))) {
                QVERIFY2(nameWiderThanALine || line.endsWith(QLatin1Char('\\')) || line.endsWith(QLatin1Char('/')) ||
                             line.endsWith(QLatin1Char(' ')),
                         qPrintable(line));
            }
            QVERIFY2(metrics.horizontalAdvance(line.trimmed()) <= width, qPrintable(line));
        }
        QVERIFY(starts.size() >= text.count(QLatin1Char('\n')) + 1);

        // Read out as written.
        QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(label);
        QVERIFY(readOut);
        QCOMPARE(readOut->text(QAccessible::Name), text);
        // Selected with the mouse from the first character to past the last, and copied.
        const QRect room = label->contentsRect();
        QTest::mousePress(label, Qt::LeftButton, {}, room.topLeft() + QPoint(0, 2));
        QTest::mouseMove(label, room.bottomRight());
        QTest::mouseRelease(label, Qt::LeftButton, {}, room.bottomRight());
        QCOMPARE(label->SelectedText(), text);
        QApplication::clipboard()->clear();
        QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
    }
};

PARTWRIGHT_UI_TEST_MAIN(WrappingLabelTest)
#include "wrapping_label_test.moc"
