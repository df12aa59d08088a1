#include "record/Capture.h"

#include "record/DerivedFields.h"

#include <algorithm>

namespace plovex::record {

namespace {

std::string secondsText(std::chrono::duration<double> d)
{
    return fixedDecimals(d.count(), d.count() < 10 ? 1 : 0) + " s";
}

} // namespace

Capture::Capture(CaptureSettings settings, Clock::time_point now)
    : settings_(std::move(settings)), state_(State::WaitingForStable), begun_(now), lastSeen_(now),
      watch_(settings_.stability, settings_.gap)
{
    reading_.label = settings_.label;
    reading_.zeroed = settings_.zeroX || settings_.zeroY;
    reading_.zeroX = settings_.zeroX.value_or(0.0);
    reading_.zeroY = settings_.zeroY.value_or(0.0);
    if (!settings_.waitStable)
        beginAveraging(now);
}

void Capture::beginAveraging(Clock::time_point start)
{
    state_ = State::Averaging;
    reading_.start = start;
    reading_.length = settings_.seconds;
    lastSeen_ = start;
}

void Capture::fail(std::string why)
{
    state_ = State::Failed;
    failure_ = std::move(why);
}

void Capture::add(const Measurement& m)
{
    if (finished())
        return;
    if (state_ == State::WaitingForStable) {
        if (m.time <= begun_)
            return; // measured before the capture was asked for
        lastSeen_ = m.time;
        linkDown_ = !m.linkUp;
        if (!m.linkUp) {
            watch_.breakOff();
        } else {
            watch_.add(m.time, m.xDegrees(), m.yDegrees());
            stability_ = watch_.at(m.time);
            if (stability_.stable)
                beginAveraging(m.time); // the averaging takes the measurements after this one
        }
        return;
    }
    const auto end = reading_.start + std::chrono::duration_cast<Clock::duration>(settings_.seconds);
    if (m.time <= reading_.start)
        return;
    if (std::min(m.time, end) - lastSeen_ > settings_.gap) {
        fail("the board sent nothing for " + secondsText(std::min(m.time, end) - lastSeen_) + " during the capture");
        return;
    }
    if (m.time > end) {
        if (reading_.count == 0)
            fail("no measurement came in the capture's " + secondsText(settings_.seconds));
        else
            state_ = State::Done;
        return;
    }
    if (!m.linkUp) {
        fail("the link was down during the capture");
        return;
    }
    reading_.add(m);
    lastSeen_ = m.time;
}

void Capture::tick(Clock::time_point now)
{
    if (finished())
        return;
    if (state_ == State::WaitingForStable) {
        stability_ = watch_.at(now);
        if (now - begun_ <= settings_.waitLimit)
            return;
        std::string why = "not stable within " + secondsText(settings_.waitLimit);
        if (now - lastSeen_ > settings_.gap)
            why += ": the board sends nothing";
        else if (linkDown_)
            why += ": the link is down";
        else if (stability_.settled < std::chrono::duration<double>(settings_.stability.seconds))
            why += ": only " + secondsText(stability_.settled) + " of measurements since the last gap";
        else
            why += ": the spread over the last " + secondsText(std::chrono::duration<double>(settings_.stability.seconds)) +
                   " is " + fixedDecimals(stability_.spreadX, 4) + "° in X and " + fixedDecimals(stability_.spreadY, 4) +
                   "° in Y, above " + fixedDecimals(settings_.stability.spreadDegrees, 4) + "°";
        fail(why);
        return;
    }
    const auto end = reading_.start + std::chrono::duration_cast<Clock::duration>(settings_.seconds);
    const auto hole = std::min(now, end) - lastSeen_;
    if (hole > settings_.gap) {
        fail("the board sent nothing for " + secondsText(hole) + " during the capture");
        return;
    }
    // Nothing came after the end within the gap time: what came is all there is.
    if (now - end > settings_.gap) {
        if (reading_.count == 0)
            fail("no measurement came in the capture's " + secondsText(settings_.seconds));
        else
            state_ = State::Done;
    }
}

} // namespace plovex::record
