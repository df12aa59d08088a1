#pragma once
// The display pass: areas of widgets marked for redrawing, and new texts for
// readouts, are gathered and handed to Qt together, at most once per
// interval (by default a 60 Hz screen refresh). A burst of records between
// two passes therefore costs one repaint of each gauge and readout, showing
// the last state, as a screen that refreshes at its own pace would. Marking
// never paints by itself.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

namespace plovex {

class DisplayPass final : public QObject {
public:
    explicit DisplayPass(std::chrono::milliseconds interval = std::chrono::milliseconds(16));

    // Marks area of widget for the next pass.
    void setNeedsDisplay(QWidget* widget, const QRect& area);

    // Runs show in the next pass, in place of what was deferred for the same key before.
    void defer(const void* key, std::function<void()> show);

    // Passes run so far (each hands every marked area to Qt).
    unsigned long passes() const { return passes_; }

private:
    void run();
    void arm();

    struct Pending {
        QPointer<QWidget> widget;
        QRegion region;
    };
    std::chrono::milliseconds interval_;
    QTimer timer_;
    QElapsedTimer sinceLast_;
    std::vector<Pending> pending_;
    std::vector<std::pair<const void*, std::function<void()>>> deferred_;
    unsigned long passes_ = 0;
};

} // namespace plovex
