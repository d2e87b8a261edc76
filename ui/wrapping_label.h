#pragma once

#include <QLabel>
#include <QString>
#include <QTextLayout>

class QMessageBox;

namespace partwright {

// A label of plain text that wraps at spaces and after the path separators
// "/" and "\", and inside a name only where a name is wider than the whole
// label. Qt's own line breaking finds no break after "\" (Unicode puts it
// among a number's prefixes), so a long Windows path would run out of a box
// or break anywhere; inserting a break character would end up in what is
// copied and read out. The text stays exactly as given: selected by mouse,
// copied (Ctrl+C or the context menu) and read by screen readers as it is.
class WrappingLabel : public QLabel {
    Q_OBJECT
public:
    explicit WrappingLabel(QWidget* parent = nullptr);

    // Where each line begins, for `width` pixels; the first is 0.
    [[nodiscard]] QList<int> LineStarts(int width) const;
    [[nodiscard]] QString SelectedText() const;

    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override;
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Lays the text out in `layout` for `width` pixels; returns its height.
    int LayOut(QTextLayout& layout, int width) const;
    [[nodiscard]] int PositionAt(const QPoint& point);
    void Copy() const;

    QTextLayout shown_;
    int anchor_ = 0;
    int cursor_ = 0;
};

// Puts a WrappingLabel with the box's text in place of a message box's own
// text; called again after the box's text changed, it takes the new text.
void WrapAtSeparators(QMessageBox& box);

}  // namespace partwright
