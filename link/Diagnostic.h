#pragma once
// The answering side of the diagnostic exchange: which request codes are
// answered, how many further bytes each request carries, and the replies.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plovex::wire {

// True for the five request codes 0x0E, 0x28, 0x29, 0xF0, 0xF1.
bool isDiagnosticRequest(uint8_t code);
// Further bytes a request carries after its code: 2 for 0x28, 6 for 0x29, else 0.
std::size_t diagnosticFurtherBytes(uint8_t code);
// "received a 0E" and so on; empty for bytes that are not requests.
std::string diagnosticLogText(uint8_t code);
// The reply to a request whose further bytes (as far as they arrived) are
// given. nullopt when code is not a request, or when a 0x29 request's value
// bytes (the 4th and 5th further bytes) did not arrive: a reply is never
// built from bytes that were not received.
std::optional<std::vector<uint8_t>> diagnosticReply(uint8_t code, const uint8_t* further, std::size_t count);

} // namespace plovex::wire
