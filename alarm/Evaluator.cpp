#include "alarm/Evaluator.h"

#include <chrono>
#include <utility>

namespace plovex::alarm {

namespace {

double seconds(platform::RecordTime::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

Evaluator::Evaluator(std::vector<Rule> rules)
{
    setRules(std::move(rules));
}

void Evaluator::setRules(std::vector<Rule> rules)
{
    rules_ = std::move(rules);
    states_.assign(rules_.size(), RuleState{});
}

void Evaluator::see(std::size_t i, double v, platform::RecordTime t, std::vector<AlarmEvent>& out)
{
    const Rule& rule = rules_[i];
    RuleState& s = states_[i];
    if (s.phase == Phase::Raised) {
        if (rule.back(v)) {
            s.phase = Phase::Clear;
            out.push_back({i, AlarmState::Cleared, v, t, false});
        }
        return;
    }
    if (!rule.beyond(v)) {
        s.phase = Phase::Clear;
        if (!std::exchange(s.told, true))
            out.push_back({i, AlarmState::Cleared, v, t, true});
        return;
    }
    if (s.phase != Phase::Pending) {
        s.phase = Phase::Pending;
        s.since = t;
    }
    if (seconds(t - s.since) >= rule.hold) {
        s.phase = Phase::Raised;
        s.told = true;
        s.since = t;
        s.value = v;
        out.push_back({i, AlarmState::Raised, v, t, false});
    }
}

void Evaluator::silence(platform::RecordTime now, std::vector<AlarmEvent>& out)
{
    if (!heard_)
        heard_ = now;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const Rule& rule = rules_[i];
        if (rule.quantity.measure != Measure::Silence)
            continue;
        RuleState& s = states_[i];
        const double quiet = seconds(now - *heard_);
        if (s.phase == Phase::Raised || !rule.beyond(quiet)) {
            // Not yet beyond (told as known only once a measurement comes), or
            // raised: a measurement clears it, not the passing of time.
            if (s.phase == Phase::Pending)
                s.phase = s.told ? Phase::Clear : Phase::Unknown;
            continue;
        }
        // Beyond since the moment the silence passed the limit, which is known
        // exactly, however rarely this is called.
        s.phase = Phase::Pending;
        s.since = *heard_ + std::chrono::duration_cast<platform::RecordTime::duration>(std::chrono::duration<double>(rule.limit));
        if (seconds(now - s.since) >= rule.hold) {
            s.phase = Phase::Raised;
            s.told = true;
            s.since = now;
            s.value = quiet;
            out.push_back({i, AlarmState::Raised, quiet, now, false});
        }
    }
}

std::vector<AlarmEvent> Evaluator::add(const Measurement& m)
{
    std::vector<AlarmEvent> out;
    // The silence up to this record first: a gap no tick saw still counts.
    silence(m.time, out);
    if (!m.linkUp) {
        // Placeholders: a hold in progress ends, nothing else changes.
        for (std::size_t i = 0; i < rules_.size(); ++i) {
            RuleState& s = states_[i];
            if (s.phase == Phase::Pending && rules_[i].quantity.measure != Measure::Silence)
                s.phase = s.told ? Phase::Clear : Phase::Unknown;
        }
        return out;
    }
    if (m.time > *heard_)
        heard_ = m.time;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const Quantity q = rules_[i].quantity;
        see(i, q.measure == Measure::Silence ? 0.0 : valueOf(q, m, zero_), m.time, out);
    }
    return out;
}

std::vector<AlarmEvent> Evaluator::tick(platform::RecordTime now)
{
    std::vector<AlarmEvent> out;
    silence(now, out);
    return out;
}

std::string activeAlarmsText(const Evaluator& evaluator)
{
    std::string text;
    for (const auto& a : evaluator.active())
        text += (text.empty() ? "" : ";") + evaluator.rules()[a.rule].expression();
    return text;
}

std::vector<ActiveAlarm> Evaluator::active() const
{
    std::vector<ActiveAlarm> out;
    for (std::size_t i = 0; i < rules_.size(); ++i)
        if (states_[i].phase == Phase::Raised)
            out.push_back({i, states_[i].value, states_[i].since});
    return out;
}

} // namespace plovex::alarm
