#include "ui/wrapping_label.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace partwright {

namespace {

bool BreaksAfter(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char('\\'); }

// Where the lines of one line of the text, [from, to), begin at `width`: at
// the furthest break that fits, else (a name wider than the line) after as
// many characters as fit, at least one.
void WrapLine(const QString& text, int from, int to, qreal width, const QFontMetricsF& metrics, QList<int>& starts) {
    int start = from;
    while (metrics.horizontalAdvance(text.mid(start, to - start)) > width) {
        int end = -1;
        for (int at = start; at < to; ++at) {
            if (!BreaksAfter(text[at])) continue;
            // A space at the end of a line hangs past its edge.
            const int shown = text[at] == QLatin1Char(' ') ? at : at + 1;
            if (metrics.horizontalAdvance(text.mid(start, shown - start)) > width) break;
            end = at + 1;
        }
        if (end < 0) {
            end = start + 1;
            while (end < to && metrics.horizontalAdvance(text.mid(start, end + 1 - start)) <= width) ++end;
        }
        if (end >= to) return;
        starts << end;
        start = end;
    }
}

}  // namespace

WrappingLabel::WrappingLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QList<int> WrappingLabel::LineStarts(int width) const {
    const QString all = text();
    const QFontMetricsF metrics(font());
    QList<int> starts;
    int from = 0;
    for (;;) {
        starts << from;
        const int end = all.indexOf(QLatin1Char('\n'), from);
        WrapLine(all, from, end < 0 ? all.size() : end, std::max(width, 1), metrics, starts);
        if (end < 0) return starts;
        from = end + 1;
    }
}

int WrappingLabel::LayOut(QTextLayout& layout, int width) const {
    QString shown = text();
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(shown);
    layout.setFont(font());
    // Lines of exactly the columns given: any other mode moves a line's end
    // back to what Qt takes for a word's end.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    const QList<int> starts = LineStarts(width);
    qreal y = 0;
    layout.beginLayout();
    for (qsizetype i = 0; i < starts.size(); ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setNumColumns((i + 1 < starts.size() ? starts[i + 1] : shown.size()) - starts[i]);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return qCeil(y);
}

int WrappingLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    QTextLayout layout;
    return LayOut(layout, width - margins.left() - margins.right()) + margins.top() + margins.bottom();
}

QSize WrappingLabel::sizeHint() const {
    const QFontMetricsF metrics(font());
    qreal widest = 0;
    for (const QString& line : text().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    // About 70 characters to a line at most; the box grows taller, not wider.
    const QMargins margins = contentsMargins();
    const int width = std::min(qCeil(widest), fontMetrics().averageCharWidth() * 70) + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

void WrappingLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect room = contentsRect();
    LayOut(shown_, room.width());
    QList<QTextLayout::FormatRange> selection;
    if (anchor_ != cursor_) {
        QTextLayout::FormatRange range;
        range.start = std::min(anchor_, cursor_);
        range.length = std::abs(anchor_ - cursor_);
        range.format.setBackground(palette().highlight());
        range.format.setForeground(palette().highlightedText());
        selection << range;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    shown_.draw(&painter, room.topLeft(), selection);
}

int WrappingLabel::PositionAt(const QPoint& point) {
    const QRect room = contentsRect();
    LayOut(shown_, room.width());
    const QPointF at = point - room.topLeft();
    for (int i = 0; i < shown_.lineCount(); ++i) {
        const QTextLine line = shown_.lineAt(i);
        if (at.y() < line.y() + line.height() || i + 1 == shown_.lineCount()) {
            // Past a line's end is its end, before its line break.
            const int end = line.textStart() + line.textLength();
            const bool broken = end > line.textStart() && shown_.text().at(end - 1) == QChar::LineSeparator;
            return std::min(line.xToCursor(at.x()), broken ? end - 1 : end);
        }
    }
    return 0;
}

void WrappingLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    anchor_ = cursor_ = PositionAt(event->position().toPoint());
    update();
}

void WrappingLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QLabel::mouseMoveEvent(event);
    cursor_ = PositionAt(event->position().toPoint());
    update();
}

QString WrappingLabel::SelectedText() const {
    return text().mid(std::min(anchor_, cursor_), std::abs(anchor_ - cursor_));
}

void WrappingLabel::Copy() const {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(SelectedText());
}

void WrappingLabel::keyPressEvent(QKeyEvent* event) {
    // Without a selection the box copies its whole text itself.
    if (event->matches(QKeySequence::Copy) && anchor_ != cursor_) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        anchor_ = 0;
        cursor_ = static_cast<int>(text().size());
        update();
        return;
    }
    QLabel::keyPressEvent(event);
}

void WrappingLabel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &WrappingLabel::Copy);
    copy->setEnabled(anchor_ != cursor_);
    menu.addAction(tr("Select &All"), this, [this] {
        anchor_ = 0;
        cursor_ = static_cast<int>(text().size());
        update();
    });
    menu.exec(event->globalPos());
}

void WrapAtSeparators(QMessageBox& box) {
    auto* wrapped = box.findChild<WrappingLabel*>(QStringLiteral("boxText"));
    if (!wrapped) {
        auto* own = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!own || !box.layout()) return;
        wrapped = new WrappingLabel(&box);
        wrapped->setObjectName(QStringLiteral("boxText"));
        wrapped->setContentsMargins(own->contentsMargins());
        // The layout hands back the item that held the box's own label, ours to delete.
        QLayoutItem* replaced = box.layout()->replaceWidget(own, wrapped);
        if (!replaced) {
            delete wrapped;
            return;
        }
        delete replaced;
        own->hide();
    }
    wrapped->setText(box.text());
}

}  // namespace partwright
