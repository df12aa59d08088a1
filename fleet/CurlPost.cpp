// The HTTP POST of fleet/HttpPost.h on libcurl: one easy handle, used by the
// writer's thread alone, which keeps the connection open between posts.

#include "fleet/HttpPost.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace plovex::fleet {

namespace {

// The answer's body is kept for the message only; an error is short.
constexpr std::size_t kLongestAnswer = 4096;
constexpr long kConnectTimeoutMs = 5000;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw std::runtime_error("cannot start libcurl");
    });
}

size_t keepAnswer(char* data, size_t size, size_t count, void* body)
{
    auto* out = static_cast<std::string*>(body);
    const std::size_t n = size * count;
    out->append(data, std::min(n, kLongestAnswer - std::min(kLongestAnswer, out->size())));
    return n;
}

// Counts the bytes of the request as they go out: its header and its body.
int countSent(CURL*, curl_infotype type, char*, size_t size, void* sent)
{
    if (type == CURLINFO_HEADER_OUT || type == CURLINFO_DATA_OUT)
        *static_cast<std::size_t*>(sent) += size;
    return 0;
}

class CurlPost : public HttpPost {
public:
    CurlPost(const std::string& url, const HttpCredentials& credentials)
    {
        initCurlOnce();
        curl_ = curl_easy_init();
        // No "Expect: 100-continue" for large bodies: a server that does not
        // answer it would cost a second per post.
        std::vector<std::string> headers = {"Content-Type: text/plain; charset=utf-8", "Expect:"};
        if (credentials.kind == HttpCredentials::Kind::Token)
            headers.push_back("Authorization: Token " + credentials.secret);
        for (const auto& h : headers) {
            plain_ = curl_slist_append(plain_, h.c_str());
            gzipped_ = curl_slist_append(gzipped_, h.c_str());
        }
        gzipped_ = curl_slist_append(gzipped_, "Content-Encoding: gzip");
        if (!curl_ || !plain_ || !gzipped_) {
            release();
            throw std::runtime_error("cannot make an HTTP client: out of memory");
        }
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_POST, 1L);
        curl_easy_setopt(curl_, CURLOPT_USERAGENT, "plovex-cli");
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &keepAnswer);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &answer_);
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
        // The debug callback sees the bytes sent; it counts them and shows nothing.
        curl_easy_setopt(curl_, CURLOPT_DEBUGFUNCTION, &countSent);
        curl_easy_setopt(curl_, CURLOPT_DEBUGDATA, &sent_);
        curl_easy_setopt(curl_, CURLOPT_VERBOSE, 1L);
        if (credentials.kind == HttpCredentials::Kind::Basic) {
            const auto colon = credentials.secret.find(':');
            curl_easy_setopt(curl_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(curl_, CURLOPT_USERNAME, credentials.secret.substr(0, colon).c_str());
            curl_easy_setopt(curl_, CURLOPT_PASSWORD,
                             colon == std::string::npos ? "" : credentials.secret.substr(colon + 1).c_str());
        }
    }
    ~CurlPost() override { release(); }
    CurlPost(const CurlPost&) = delete;
    CurlPost& operator=(const CurlPost&) = delete;

    HttpAnswer post(std::string_view body, bool gzipped, std::chrono::milliseconds timeout) override
    {
        answer_.clear();
        error_[0] = '\0';
        sent_ = 0;
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, gzipped ? gzipped_ : plain_);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, std::max<long>(1, static_cast<long>(timeout.count())));
        HttpAnswer a;
        const CURLcode rc = curl_easy_perform(curl_);
        if (rc != CURLE_OK) {
            a.failure = error_[0] ? error_ : curl_easy_strerror(rc);
            return a;
        }
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &a.status);
        a.sentBytes = sent_;
        curl_off_t retryAfter = 0;
        if (curl_easy_getinfo(curl_, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
            a.retryAfter = std::chrono::seconds(retryAfter);
        a.body = std::move(answer_);
        return a;
    }

private:
    void release()
    {
        curl_easy_cleanup(curl_);
        curl_slist_free_all(plain_);
        curl_slist_free_all(gzipped_);
    }

    CURL* curl_ = nullptr;
    curl_slist* plain_ = nullptr;   // the request's headers
    curl_slist* gzipped_ = nullptr; // the same and Content-Encoding: gzip
    std::string answer_;
    std::size_t sent_ = 0;
    char error_[CURL_ERROR_SIZE] = "";
};

} // namespace

std::unique_ptr<HttpPost> makeCurlPost(const std::string& url, const HttpCredentials& credentials)
{
    return std::make_unique<CurlPost>(url, credentials);
}

} // namespace plovex::fleet
