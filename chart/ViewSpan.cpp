#include "chart/ViewSpan.h"

#include <algorithm>

namespace plovex::chart {

ViewSpan::ViewSpan(double first, double last, double narrowest)
    : first_(first), last_(std::max(last, first + narrowest)), narrowest_(narrowest > 0 ? narrowest : 1e-3),
      from_(first_), to_(last_)
{
}

void ViewSpan::zoom(double factor, double about)
{
    if (!(factor > 0))
        return;
    const double width = std::clamp(this->width() * factor, narrowest_, last_ - first_);
    // about stays at the same share of the chart's width.
    const double share = this->width() > 0 ? std::clamp((about - from_) / this->width(), 0.0, 1.0) : 0.5;
    from_ = about - share * width;
    to_ = from_ + width;
    keepWithin();
}

void ViewSpan::pan(double seconds)
{
    from_ += seconds;
    to_ += seconds;
    keepWithin();
}

void ViewSpan::showAll()
{
    from_ = first_;
    to_ = last_;
}

void ViewSpan::keepWithin()
{
    const double width = to_ - from_;
    if (from_ < first_) {
        from_ = first_;
        to_ = first_ + width;
    }
    if (to_ > last_) {
        to_ = last_;
        from_ = std::max(first_, last_ - width);
    }
}

} // namespace plovex::chart
