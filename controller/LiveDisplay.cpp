// The live display: each measurement record moves both needles and sets the
// angle and temperature readouts and the link-state label. A link-down
// record carries placeholders, not measurements: it sets the label alone,
// leaves the needles where the last measurement put them (greyed) and
// empties the readouts.

#include "controller/RecordEntry.h"
#include "controller/plovexController.h"
#include "link/BoardFacts.h"

namespace plovex {

void plovexController::dataFromRell(const platform::Notification& notification)
{
    const int32_t xKal = recordEntry(notification, "xKal");
    const int32_t yKal = recordEntry(notification, "yKal");
    const int32_t temp = recordEntry(notification, "temp");
    const int32_t commState = recordEntry(notification, "commState");

    if (commState != 0) {
        commStateItem->setStringValue("Comms OK");
        commStateItem->setTextColor(Color::greenColor());
    } else {
        commStateItem->setStringValue("NO Comms");
        commStateItem->setTextColor(Color::redColor());
    }

    afterLinkDownRecord_ = commState == 0;
    if (commState == 0) {
        if (!linkDown_)
            linkWentDown();
        return;
    }
    const bool wasBlocked = linkDown_ || silent_;
    if (linkDown_) {
        Xgauge->setStale(false);
        Ygauge->setStale(false);
    }
    linkDown_ = false;
    silent_ = false;
    lastMeasurementAt_ = env_.clock();
    if (wasBlocked)
        updateWriteGate();

    Temperature->setFloatValue(board::tenthsToDegrees(temp));

    // Needle and number of an axis always get the same angle: with no zero
    // and degrees, the very float measured; else the needle the zeroed
    // degrees and the number the zeroed angle in the chosen unit.
    const float xdeg = board::countsToDegrees(xKal);
    const float ydeg = board::countsToDegrees(yKal);
    if (commState != 0) {
        measuredX_ = xdeg;
        measuredY_ = ydeg;
        measured_ = true;
    }
    Xgauge->setAngle(reference_.zeroed(Axis::X, xdeg));
    XvalueItem->setFloatValue(reference_.shown(Axis::X, xdeg));
    Ygauge->setAngle(reference_.zeroed(Axis::Y, ydeg));
    YvalueItem->setFloatValue(reference_.shown(Axis::Y, ydeg));

    // Setting an angle only stores it; marking the whole view is what
    // redraws the needle, on every record whether it moved or not.
    Xgauge->setNeedsDisplayInRect(Xgauge->bounds());
    Ygauge->setNeedsDisplayInRect(Ygauge->bounds());
}

void plovexController::linkWentDown()
{
    linkDown_ = true;
    silent_ = false;
    Xgauge->setStale(true);
    Ygauge->setStale(true);
    Xgauge->setNeedsDisplayInRect(Xgauge->bounds());
    Ygauge->setNeedsDisplayInRect(Ygauge->bounds());
    XvalueItem->setNoValue();
    YvalueItem->setNoValue();
    Temperature->setNoValue();
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
    return true;
}

void plovexController::clearZero()
{
    reference_.setZero(Axis::X, std::nullopt);
    reference_.setZero(Axis::Y, std::nullopt);
    if (prefs)
        reference_.saveZero(*prefs);
}

void plovexController::setTiltUnit(board::TiltUnit unit)
{
    reference_.setUnit(unit);
    if (prefs)
        reference_.saveUnit(*prefs);
}

} // namespace plovex
