#pragma once
// What a database's answer to a write means for the writer, and how to say
// it. InfluxDB 1.x and 2.x and VictoriaMetrics answer a write alike: 204 (or
// another 2xx) when every line was taken; 5xx, 408 and 429 when the server
// cannot take them now; 400 or 422 saying "partial write" when it took some
// lines and refused others for good (beyond the retention policy, say); any
// other 4xx when it refuses the writer itself (bad token, no such
// database), which sending again cannot mend.

#include "fleet/HttpPost.h"

#include <string>

namespace plovex::fleet {

enum class WriteVerdict {
    Sent,       // every line taken
    PartlySent, // some taken, the rest refused for good: not to be sent again
    Retry,      // none taken, try again later
    Refused,    // none taken, and none will be: the writing ends
};

WriteVerdict judge(const HttpAnswer& answer);

// The answer in a few words for a message: "Connection refused" or
// "404 Not Found: database not found: \"plv\"" (the server's own error text,
// printable and short).
std::string describeAnswer(const HttpAnswer& answer);

} // namespace plovex::fleet
