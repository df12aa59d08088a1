#pragma once
// The iterator handle over serial services that FindModems hands out. The
// caller owns it and releases it with releaseModemIterator when done, whether
// or not it walked it to the end.

#include "discovery/SerialRegistry.h"

#include <memory>
#include <optional>
#include <vector>

namespace plovex {

struct ModemIteratorState;
using ModemIterator = ModemIteratorState*;

// An iterator over the given services, in the given order. Besides
// FindModems, tests and tools use it to offer a port list of their own.
ModemIterator makeModemIterator(std::vector<SerialService> services);

// The next service, or nullopt once the iterator is exhausted (or null).
std::optional<SerialService> nextSerialService(ModemIterator iterator);

// Frees the iterator; a null handle is ignored.
void releaseModemIterator(ModemIterator iterator);

// Owns an iterator and releases it at the end of its scope.
struct ModemIteratorRelease {
    void operator()(ModemIteratorState* iterator) const { releaseModemIterator(iterator); }
};
using ScopedModemIterator = std::unique_ptr<ModemIteratorState, ModemIteratorRelease>;

} // namespace plovex
