// The live display: each measurement record moves both needles and sets the
// angle and temperature readouts and the link-state label.

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

    Temperature->setFloatValue(board::tenthsToDegrees(temp));

    // Needle and number of an axis always get the same float.
    const float xdeg = board::countsToDegrees(xKal);
    const float ydeg = board::countsToDegrees(yKal);
    Xgauge->setAngle(xdeg);
    XvalueItem->setFloatValue(xdeg);
    Ygauge->setAngle(ydeg);
    YvalueItem->setFloatValue(ydeg);

    // Setting an angle only stores it; marking the whole view is what
    // redraws the needle, on every record whether it moved or not.
    Xgauge->setNeedsDisplayInRect(Xgauge->bounds());
    Ygauge->setNeedsDisplayInRect(Ygauge->bounds());
}

} // namespace plovex
