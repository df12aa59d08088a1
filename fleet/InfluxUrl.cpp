#include "fleet/InfluxUrl.h"

#include <curl/curl.h>

#include <map>
#include <memory>

namespace plovex::fleet {

namespace {

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// A part of the URL ("" when it has none).
std::string part(CURLU* url, CURLUPart which, unsigned flags = 0)
{
    char* text = nullptr;
    if (curl_url_get(url, which, &text, flags) != CURLUE_OK || !text)
        return "";
    std::string out = text;
    curl_free(text);
    return out;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The query's names and their values, as written (not decoded).
std::map<std::string, std::string> queryOf(const std::string& query)
{
    std::map<std::string, std::string> out;
    std::size_t start = 0;
    while (start <= query.size() && !query.empty()) {
        const auto end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        const auto eq = pair.find('=');
        out[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
        start = end + 1;
    }
    return out;
}

} // namespace

std::optional<InfluxUrl> parseInfluxUrl(const std::string& text, std::string* error)
{
    const std::string form = " is not a database's write URL, such as http://HOST:8086/write?db=NAME, "
                             "http://HOST:8086/api/v2/write?org=ORG&bucket=NAME or http://HOST:8428/write";
    auto fail = [&](const std::string& why) -> std::optional<InfluxUrl> {
        *error = "'" + text + "'" + form + ": " + why;
        return std::nullopt;
    };
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url) {
        *error = "cannot read the URL: out of memory";
        return std::nullopt;
    }
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        // Not repeated: it may hold a password, or anything.
        *error = "the --influx URL" + form;
        return std::nullopt;
    }
    if (!part(url.get(), CURLUPART_USER).empty() || !part(url.get(), CURLUPART_PASSWORD).empty()) {
        *error = "the --influx URL may not hold a user or a password: give them with --influx-token-file";
        return std::nullopt;
    }
    const auto query = queryOf(part(url.get(), CURLUPART_QUERY));
    for (const char* secret : {"u", "p", "token"}) {
        if (query.count(secret)) {
            *error = std::string("the --influx URL may not hold credentials (") + secret +
                     "=): give them with --influx-token-file";
            return std::nullopt;
        }
    }
    const std::string scheme = part(url.get(), CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https")
        return fail("it is not http:// or https://");
    if (!part(url.get(), CURLUPART_FRAGMENT).empty())
        return fail("a #fragment has no place in it");
    InfluxUrl out;
    out.url = text;
    out.hostPort = part(url.get(), CURLUPART_HOST) + ":" + part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const std::string path = part(url.get(), CURLUPART_PATH);
    if (endsWith(path, "/api/v2/write")) {
        out.api = InfluxApi::V2;
        if (query.count("bucket") == 0 || (query.count("org") == 0 && query.count("orgID") == 0))
            return fail("/api/v2/write needs org= (or orgID=) and bucket=");
    } else if (!endsWith(path, "/write")) {
        return fail("its path does not end in /write");
    }
    if (const auto p = query.find("precision"); p != query.end() && p->second != "n" && p->second != "ns")
        return fail("the records' times are nanoseconds: leave precision out or make it ns");
    return out;
}

} // namespace plovex::fleet
