#pragma once
// A label for a number that changes many times a second (an angle, the
// temperature): it draws its text character by character from text laid
// out once per character, so a new value costs no text shaping. A plain
// label shapes its whole text again at every repaint. One line, centred
// vertically, placed by the label's horizontal alignment; the palette,
// the font and the greyed state are the label's.

#include <QLabel>
#include <QStaticText>

#include <unordered_map>

namespace plovex {

class ReadoutLabel final : public QLabel {
public:
    explicit ReadoutLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Glyph {
        QStaticText text;
        qreal advance = 0;
    };
    const Glyph& glyph(QChar c);

    std::unordered_map<char16_t, Glyph> glyphs_;
};

} // namespace plovex
