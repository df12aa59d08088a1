#pragma once

#include "platform/Notification.h"

#include <cstdint>

namespace plovex {

// An entry of a notification's record as a signed 32-bit integer. An absent
// entry, like a missing record, reads as 0.
inline int32_t recordEntry(const platform::Notification& n, const char* key)
{
    return n.object ? n.object->intValue(key) : 0;
}

} // namespace plovex
