#pragma once

#include "platform/Record.h"

#include <string>

namespace platform {

// A named message whose object is the record it carries (may be empty).
struct Notification {
    std::string name;
    RecordPtr object;
};

} // namespace platform
