#include "discovery/PortDiscovery.h"

#include "platform/Console.h"

#include <cerrno>
#include <cstring>

namespace plovex {

namespace {

// Copies text into a buffer of size bytes as a NUL-terminated ASCII string.
// Leaves the buffer untouched and returns false when the text is not ASCII
// or is longer than size - 1 characters.
bool copyAscii(const std::string& text, char* buf, int size)
{
    if (!buf || size <= 0 || text.size() > static_cast<std::size_t>(size) - 1)
        return false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || u > 0x7f)
            return false;
    }
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = '\0';
    return true;
}

void reportProblem(const RegistryProblem& problem, const char* what)
{
    platform::consolePrintf("Error listing %s in %s - %s(%d).\n", what, problem.folder.c_str(), std::strerror(problem.error),
                problem.error);
}

} // namespace

int FindModems(ModemIterator* iterator, const DiscoveryRoots& roots)
{
    if (!iterator)
        return EINVAL;
    RegistryScan scan = scanSerialServices(roots);
    int status = 0;
    if (scan.failure) {
        reportProblem(*scan.failure, "serial ports");
        status = scan.failure->error;
    }
    for (const auto& problem : scan.skipped)
        reportProblem(problem, "serial port links");
    *iterator = makeModemIterator(std::move(scan.services));
    return status;
}

int getNextModemName(ModemIterator iterator, char* name, char* path, int size)
{
    const auto service = nextSerialService(iterator);
    if (!service)
        return kModemNotDelivered;
    if (service->name && !copyAscii(*service->name, name, size) && name && size > 0)
        name[0] = '\0';
    if (!service->calloutPath || !copyAscii(*service->calloutPath, path, size))
        return kModemNotDelivered;
    platform::consolePrintf("Port Name: %s\n", path);
    return 0;
}

int GetModemPath(ModemIterator iterator, char* buf, int size)
{
    if (buf && size > 0)
        buf[0] = '\0';
    int result = kModemNotDelivered;
    while (const auto service = nextSerialService(iterator)) {
        if (service->name && copyAscii(*service->name, buf, size)) {
            result = 0;
            platform::consolePrintf("Port Name: %s\n", buf);
        }
        if (service->calloutPath && copyAscii(*service->calloutPath, buf, size)) {
            result = 0;
            platform::consolePrintf("BSD path: %s\n", buf);
        }
    }
    return result;
}

std::vector<PortEntry> listPorts(const DiscoveryRoots& roots, int* findStatus)
{
    ModemIterator raw = nullptr;
    const int status = FindModems(&raw, roots);
    ScopedModemIterator iterator(raw);
    if (findStatus)
        *findStatus = status;

    std::vector<PortEntry> ports;
    char name[kPortStringSize];
    char path[kPortStringSize];
    while (static_cast<int>(ports.size()) < kMaxPorts) {
        name[0] = '\0';
        if (getNextModemName(iterator.get(), name, path, kPortStringSize) != 0)
            break;
        ports.push_back({name, path});
    }
    return ports;
}

} // namespace plovex
