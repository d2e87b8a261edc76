#pragma once

#include <QRadioButton>

class QLineEdit;

namespace partwright {

// An option whose caption holds fields, as "Save filename with characters
// [Text5] and these counting numbers [Text6]": the fields stand on the
// caption's placeholders, and the words between them are drawn in the gaps
// the fields leave, so no part of a placeholder shows at any scale or with
// any font. text() keeps the whole caption.
class SentenceOption : public QRadioButton {
    Q_OBJECT
public:
    SentenceOption(const QString& caption, QWidget* parent);

    // The fields, in the order of the caption's placeholders ("[...]").
    void SetFields(QList<QLineEdit*> fields) { fields_ = std::move(fields); }

    // The words of the caption between its placeholders, in order.
    [[nodiscard]] QStringList Words() const;
    // The place each of Words() is drawn in, in this option's coordinates.
    [[nodiscard]] QList<QRect> WordPlaces() const;
    // The font each of Words() is drawn in: the option's own, made smaller
    // only where the words would not fit their place.
    [[nodiscard]] QFont WordFont(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QLineEdit*> fields_;
};

// Makes `widget`'s font smaller, in quarter points, until `text` fits `width`
// pixels (no further than 6 points): captions measured for Arial must not clip
// with the wider fonts a system falls back to.
void FitFontToWidth(QWidget* widget, const QString& text, int width);

}  // namespace partwright
