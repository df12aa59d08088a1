#pragma once
// A splitter whose panes fold: along its orientation it asks only for room
// for its largest pane, so that a window smaller than all its panes together
// folds the others away (the user drags a fold open again) instead of
// growing past the screen.

#include <QSplitter>

namespace plovex {

class FoldingSplitter final : public QSplitter {
public:
    using QSplitter::QSplitter;

    QSize minimumSizeHint() const override
    {
        QSize all = QSplitter::minimumSizeHint();
        int along = 0;
        for (int i = 0; i < count(); ++i)
            if (const QWidget* w = widget(i); w && !w->isHidden()) {
                const QSize m = w->minimumSizeHint().expandedTo(w->minimumSize());
                along = std::max(along, orientation() == Qt::Vertical ? m.height() : m.width());
            }
        if (orientation() == Qt::Vertical)
            all.setHeight(along);
        else
            all.setWidth(along);
        return all;
    }
};

} // namespace plovex
