#include "discovery/ModemIterator.h"

namespace plovex {

struct ModemIteratorState {
    std::vector<SerialService> services;
    std::size_t next = 0;
};

ModemIterator makeModemIterator(std::vector<SerialService> services)
{
    return new ModemIteratorState{std::move(services), 0};
}

std::optional<SerialService> nextSerialService(ModemIterator iterator)
{
    if (!iterator || iterator->next >= iterator->services.size())
        return std::nullopt;
    return iterator->services[iterator->next++];
}

void releaseModemIterator(ModemIterator iterator)
{
    delete iterator;
}

} // namespace plovex
