#include "ui/sentence_option.h"

#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace partwright {

namespace {

constexpr double kSmallestPoints = 6.0;
constexpr int kGap = 4;  // between a field and the words beside it

// A caption's mnemonic marker is not drawn, so it takes no room.
QString Drawn(const QString& caption) { return QString(caption).remove(QLatin1Char('&')); }

QFont FittedFont(QFont font, const QString& caption, int width) {
    const QString text = Drawn(caption);
    while (font.pointSizeF() > kSmallestPoints && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

}  // namespace

void FitFontToWidth(QWidget* widget, const QString& text, int width) {
    widget->setFont(FittedFont(widget->font(), text, width));
}

SentenceOption::SentenceOption(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {}

QStringList SentenceOption::Words() const {
    QStringList words;
    for (const QString& part : text().split(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]"))))
        if (!part.trimmed().isEmpty()) words << part.trimmed();
    return words;
}

QList<QRect> SentenceOption::WordPlaces() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect label = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    QList<QRect> places;
    int left = label.left();
    for (qsizetype i = 0; i < Words().size(); ++i) {
        int right = label.right();
        if (i < fields_.size()) {
            const QRect field(mapFromParent(fields_[i]->geometry().topLeft()), fields_[i]->size());
            right = field.left() - kGap;
            places << QRect(QPoint(left, label.top()), QPoint(right, label.bottom()));
            left = field.right() + 1 + kGap;
        } else {
            places << QRect(QPoint(left, label.top()), QPoint(right, label.bottom()));
        }
    }
    return places;
}

QFont SentenceOption::WordFont(int index) const {
    const QList<QRect> places = WordPlaces();
    return FittedFont(font(), Words().value(index), places.value(index).width());
}

void SentenceOption::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();  // the mark and the focus frame only; the words follow
    painter.drawControl(QStyle::CE_RadioButton, option);
    const QStringList words = Words();
    const QList<QRect> places = WordPlaces();
    for (qsizetype i = 0; i < words.size(); ++i) {
        painter.setFont(WordFont(static_cast<int>(i)));
        painter.drawText(places[i], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                         words[i]);
    }
}

}  // namespace partwright
