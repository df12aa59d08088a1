#pragma once
// One HTTP POST of a request body and the server's answer: what the
// database writer needs from HTTP, behind an interface so that its tests can
// answer in the server's place. CurlPost is the real one, on libcurl.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plovex::fleet {

struct HttpAnswer {
    long status = 0;            // the HTTP status; 0 when no answer came
    std::string body;           // the answer's body (its first few kilobytes)
    std::string failure;        // status 0: why there was no answer ("Connection refused")
    std::optional<std::chrono::seconds> retryAfter; // a Retry-After the server gave
    std::size_t sentBytes = 0;  // the request as sent: its header and body
};

class HttpPost {
public:
    virtual ~HttpPost() = default;
    // Posts body (gzip-compressed when gzipped) and waits for the answer, at
    // most timeout.
    virtual HttpAnswer post(std::string_view body, bool gzipped, std::chrono::milliseconds timeout) = 0;
};

// How the writer proves who it is: nothing, HTTP Basic (USER:PASSWORD), or
// "Authorization: Token TOKEN" (InfluxDB 2.x, and 1.x's token form).
struct HttpCredentials {
    enum class Kind { None, Basic, Token } kind = Kind::None;
    std::string secret; // never in a message
};

// A POST to url with libcurl, the connection kept from one post to the
// next. Throws std::runtime_error when libcurl cannot be set up.
std::unique_ptr<HttpPost> makeCurlPost(const std::string& url, const HttpCredentials& credentials);

} // namespace plovex::fleet
