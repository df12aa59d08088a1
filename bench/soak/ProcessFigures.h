#pragma once
// Figures of this process that a long run must not let grow.

namespace soak {

// Descriptors open now.
int openDescriptors();
// Resident set now, and its peak so far, in KiB.
long rssKiB();
long peakRssKiB();

} // namespace soak
