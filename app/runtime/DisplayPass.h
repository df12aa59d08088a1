#pragma once
// The display pass: what the controller asked to show since the last pass is
// handed to Qt together, at most once per interval (by default 30 times a
// second: a needle moves smoothly at that rate, and a number that changed
// faster could not be read). A burst of records between two passes
// therefore costs one repaint of each gauge and readout, showing the last
// state. Asking never paints by itself.
//
// While the watched window is minimised, hidden or not exposed, no pass runs:
// what is asked for meanwhile waits (the last request per key) and is shown
// in one pass when the window is back. Whoever does work only for the
// screen can be told when the window goes out of sight and comes back.

#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

namespace plovex {

class DisplayPass final : public QObject {
public:
    // 30 passes a second.
    static constexpr std::chrono::milliseconds kFrame{33};

    explicit DisplayPass(std::chrono::milliseconds interval = kFrame);

    // Holds the passes while window cannot be seen.
    void watch(QWidget* window);

    // Tells inSight(false) when the watched window goes out of sight,
    // inSight(true) when it is back (after the event that did it).
    void onSightChanged(std::function<void(bool inSight)> inSight);

    // Runs show in the next pass, in place of what was asked for the same key before.
    void defer(const void* key, std::function<void()> show);

    // Passes run so far.
    unsigned long passes() const { return passes_; }
    // Whether the watched window is out of sight, so that passes wait.
    bool held() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();
    void arm();
    void checkSight();

    std::chrono::milliseconds interval_;
    QTimer timer_;
    QElapsedTimer sinceLast_;
    QPointer<QWidget> window_;
    QObject* windowHandle_ = nullptr; // the window's QWindow, once it has one
    std::function<void(bool)> inSight_;
    bool toldInSight_ = true;
    bool sightCheckDue_ = false;
    std::vector<std::pair<const void*, std::function<void()>>> deferred_;
    unsigned long passes_ = 0;
};

} // namespace plovex
