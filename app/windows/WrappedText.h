#pragma once
// Plain text wrapped at the widget's width, for a line that changes several
// times a second (the link's figures): a new text repaints this widget
// alone, and the window is laid out again only when the text then needs
// another height or another least width. A label would lay out the whole
// window for every new text. Its context menu copies the text.

#include <QString>
#include <QWidget>

namespace plovex {

class WrappedText final : public QWidget {
public:
    explicit WrappedText(const QString& text = {}, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The widest word: the least width that shows the text uncut.
    int widestWord() const;

    QString text_;
    // What the shown text needs: its height at laidOutWidth_ and its widest word.
    int laidOutWidth_ = -1, laidOutHeight_ = 0, laidOutWidest_ = 0;
};

} // namespace plovex
