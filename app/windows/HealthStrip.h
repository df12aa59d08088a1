#pragma once
// The health strip under the gauges: how the link is doing (records a
// second, time since the last, timeouts, reconnects, bytes each way, the
// port by its stable name) and, while the port does not open, why and what
// to do about it.

#include "controller/Outlets.h"
#include "link/HealthLine.h"

#include <QWidget>

class QLabel;

namespace plovex {

class WrappedText;

class HealthStrip final : public QWidget {
public:
    explicit HealthStrip(QWidget* parent = nullptr);

    // Shows the figures of snapshot h taken at now, for port.
    void showHealth(const LinkHealth& h, std::chrono::steady_clock::time_point now, const std::string& port);

    // The controller's outlet for the reason the port does not open; the
    // strip shows it while it is not empty.
    TextFieldOutlet& problemOutlet() { return problemOutlet_; }

    WrappedText* figures() const { return figures_; }
    QLabel* problem() const { return problem_; }

private:
    class ProblemField final : public TextFieldOutlet {
    public:
        explicit ProblemField(HealthStrip& strip) : strip_(strip) {}
        void setStringValue(const std::string& text) override;
        void setIntValue(int value) override { setStringValue(std::to_string(value)); }
        int intValue() const override { return 0; }
        void setTextColor(Color) override {}

    private:
        HealthStrip& strip_;
    };

    WrappedText* figures_ = nullptr;
    QLabel* problem_ = nullptr;
    HealthLine line_;
    ProblemField problemOutlet_{*this};
};

} // namespace plovex
