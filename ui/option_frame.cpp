#include "ui/option_frame.h"

#include <QPainter>

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
    // Drawn here rather than by the style, which would move the border below
    // the title again.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(BorderRect());

    if (title().isEmpty()) return;
    const QRect titleRect(kTitleIndent, 0, fontMetrics().horizontalAdvance(title()) + 2 * kTitleGap,
                          fontMetrics().height());
    painter.fillRect(titleRect, palette().window());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignCenter | Qt::TextHideMnemonic, title());
}

}  // namespace partwright
