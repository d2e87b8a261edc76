#pragma once

#include <QGroupBox>

namespace partwright {

// A titled frame whose top border line runs through the middle of its title,
// the title set into the line. The styles draw a group box's title above its
// border instead, which would put the border under controls placed close to
// the frame's top.
class OptionFrame final : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    // Where the border lines run, in the frame's own coordinates.
    [[nodiscard]] QRect BorderRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace partwright
