// The live display: each measurement moves both needles and sets the angle
// and temperature readouts and the link-state label. A link-down record
// carries placeholders, not measurements: it sets the label alone, leaves
// the needles where the last measurement put them (greyed) and empties the
// readouts; a board that falls silent (linkTick) is shown the same way.

#include "controller/plovexController.h"

namespace plovex {

void plovexController::dataFromRell(const platform::Notification& notification)
{
    // A missing record, or one without the filtered values, reads as all
    // zeros: the link down.
    const Measurement m =
        (notification.object ? records_.measurement(*notification.object) : std::nullopt).value_or(Measurement{});

    if (m.linkUp) {
        commStateItem->setStringValue("Comms OK");
        commStateItem->setTextColor(Color::greenColor());
    } else {
        commStateItem->setStringValue("NO Comms");
        commStateItem->setTextColor(Color::redColor());
    }

    if (!m.linkUp) {
        if (!linkDown_)
            linkWentDown();
        return;
    }
    const bool wasBlocked = linkDown_ || silent_;
    if (wasBlocked) {
        Xgauge->setStale(false);
        Ygauge->setStale(false);
    }
    linkDown_ = false;
    silent_ = false;
    lastMeasurementAt_ = env_.clock();
    if (wasBlocked)
        updateWriteGate();

    // The view's values are the board's single-precision conversions,
    // widened: narrowing gives back the very floats.
    Temperature->setFloatValue(static_cast<float>(m.temperatureC()));

    // Needle and number of an axis always get the same angle: with no zero
    // and degrees, the very float measured; else the needle the zeroed
    // degrees and the number the zeroed angle in the chosen unit.
    const auto xdeg = static_cast<float>(m.xDegrees());
    const auto ydeg = static_cast<float>(m.yDegrees());
    measuredX_ = xdeg;
    measuredY_ = ydeg;
    measured_ = true;
    showTilt();
}

void plovexController::showTilt()
{
    if (!measured_)
        return;
    Xgauge->setAngle(reference_.zeroed(Axis::X, measuredX_));
    Ygauge->setAngle(reference_.zeroed(Axis::Y, measuredY_));
    // A value no longer current stays off the readouts, in any unit.
    if (!linkDown_ && !silent_) {
        XvalueItem->setFloatValue(reference_.shown(Axis::X, measuredX_));
        YvalueItem->setFloatValue(reference_.shown(Axis::Y, measuredY_));
    }

    // Setting an angle only stores it; marking the whole view is what
    // redraws the needle, on every record whether it moved or not.
    Xgauge->setNeedsDisplayInRect(Xgauge->bounds());
    Ygauge->setNeedsDisplayInRect(Ygauge->bounds());
}

void plovexController::showNotCurrent()
{
    Xgauge->setStale(true);
    Ygauge->setStale(true);
    Xgauge->setNeedsDisplayInRect(Xgauge->bounds());
    Ygauge->setNeedsDisplayInRect(Ygauge->bounds());
    XvalueItem->setNoValue();
    YvalueItem->setNoValue();
    Temperature->setNoValue();
}

void plovexController::linkWentDown()
{
    linkDown_ = true;
    silent_ = false;
    showNotCurrent();
    // What the table holds was the board's before the link went: no longer current.
    bool changed = false;
    for (auto& state : rowState_) {
        if (state == ParameterState::Current || state == ParameterState::NotTaken) {
            state = ParameterState::NotRead;
            changed = true;
        }
    }
    if (changed)
        parameterTable->reloadData();
    updateWriteGate();
}

} // namespace plovex

namespace plovex {

bool plovexController::zeroAxes(bool x, bool y)
{
    if (!measured_)
        return false;
    if (x)
        reference_.setZero(Axis::X, measuredX_);
    if (y)
        reference_.setZero(Axis::Y, measuredY_);
    if (prefs)
        reference_.saveZero(*prefs);
    showTilt();
    return true;
}

void plovexController::clearZero()
{
    reference_.setZero(Axis::X, std::nullopt);
    reference_.setZero(Axis::Y, std::nullopt);
    if (prefs)
        reference_.saveZero(*prefs);
    showTilt();
}

void plovexController::setTiltUnit(board::TiltUnit unit)
{
    reference_.setUnit(unit);
    if (prefs)
        reference_.saveUnit(*prefs);
    showTilt();
}

} // namespace plovex
