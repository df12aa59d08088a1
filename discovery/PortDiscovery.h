#pragma once
// Port discovery: the serial ports this machine offers, each with a display
// name and the path of its callout device.
//
//   ModemIterator it = nullptr;
//   FindModems(&it);
//   while (n < kMaxPorts && getNextModemName(it, name[n], path[n], 256) == 0) ++n;
//   releaseModemIterator(it);
//
// Each port delivered prints "Port Name: <path>" as a console line
// (platform/Console.h: standard output unless the caller redirects it).

#include "discovery/ModemIterator.h"
#include "discovery/SerialRegistry.h"

#include <string>
#include <vector>

namespace plovex {

// The monitor's port table holds this many ports; listings stop there.
inline constexpr int kMaxPorts = 128;
// Size of each name and path slot of the monitor's port table.
inline constexpr int kPortStringSize = 256;
// Result of getNextModemName and GetModemPath when nothing was delivered.
inline constexpr int kModemNotDelivered = 5;

// Starts an enumeration of the serial ports under roots and stores a new
// iterator in *iterator (owned by the caller from then on). Returns 0, or the
// system's error number when the tty class cannot be listed; that failure is
// reported on one console line and the iterator then offers the
// running simulated boards alone.
int FindModems(ModemIterator* iterator, const DiscoveryRoots& roots = DiscoveryRoots{});

// Takes the next port. Its name goes into name and its callout path into
// path, each a buffer of size bytes; a string fits when it is ASCII and at
// most size - 1 characters long. Returns 0 when the path was delivered (and
// prints "Port Name: <path>"), 5 at the end of the enumeration (buffers
// untouched) or when the port has no callout path or its path does not fit.
// A port without a name leaves the name slot as it was; a name that does not
// fit leaves it empty.
int getNextModemName(ModemIterator iterator, char* name, char* path, int size);

// Walks every remaining port, delivering its name ("Port Name: <name>") and
// then its callout path ("BSD path: <path>") into buf, each string replacing
// the one before. The buffer is emptied first, so afterwards it holds the
// last string delivered. Returns 0 when any string was delivered, else 5.
int GetModemPath(ModemIterator iterator, char* buf, int size);

struct PortEntry {
    std::string name;
    std::string path;
};

// The ports as the monitor lists them: FindModems, then getNextModemName
// with slots of kPortStringSize until the first non-zero result or kMaxPorts
// ports, then the iterator is released. findStatus, when given, receives
// FindModems' result.
std::vector<PortEntry> listPorts(const DiscoveryRoots& roots = DiscoveryRoots{}, int* findStatus = nullptr);

} // namespace plovex
