#include "ui/option_frame.h"

#include <QPainter>
#include <QStyleOptionFrame>

namespace partwright {

namespace {

constexpr int kTitleIndent = 8;  // from the frame's left edge to the title's gap
constexpr int kTitleGap = 3;     // free space either side of the title

}  // namespace

QRect OptionFrame::BorderRect() const {
    const int top = fontMetrics().height() / 2;
    return rect().adjusted(0, top, -1, -1);
}

void OptionFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = BorderRect().adjusted(0, 0, 1, 1);
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &painter, this);

    if (title().isEmpty()) return;
    const QRect titleRect(kTitleIndent, 0, fontMetrics().horizontalAdvance(title()) + 2 * kTitleGap,
                          fontMetrics().height());
    painter.fillRect(titleRect, palette().window());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignCenter | Qt::TextHideMnemonic, title());
}

}  // namespace partwright
