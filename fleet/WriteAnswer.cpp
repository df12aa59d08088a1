#include "fleet/WriteAnswer.h"

#include <map>

namespace plovex::fleet {

namespace {

constexpr std::size_t kLongestText = 200;

const char* reasonPhrase(long status)
{
    static const std::map<long, const char*> phrases = {
        {400, "Bad Request"},       {401, "Unauthorized"},         {403, "Forbidden"},
        {404, "Not Found"},         {405, "Method Not Allowed"},   {408, "Request Timeout"},
        {413, "Payload Too Large"}, {422, "Unprocessable Entity"}, {429, "Too Many Requests"},
        {500, "Internal Server Error"}, {502, "Bad Gateway"},      {503, "Service Unavailable"},
        {504, "Gateway Timeout"}};
    const auto it = phrases.find(status);
    return it == phrases.end() ? "" : it->second;
}

// The string value of "name" in a JSON object, read without a full parser:
// InfluxDB 1.x answers {"error":"..."}, 2.x {"code":"...","message":"..."}.
std::string jsonMember(const std::string& body, const std::string& name)
{
    const std::string key = "\"" + name + "\"";
    auto at = body.find(key);
    if (at == std::string::npos)
        return "";
    at = body.find_first_not_of(" \t\r\n", at + key.size());
    if (at == std::string::npos || body[at] != ':')
        return "";
    at = body.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || body[at] != '"')
        return "";
    std::string out;
    for (++at; at < body.size() && body[at] != '"'; ++at) {
        if (body[at] == '\\' && at + 1 < body.size())
            ++at;
        out += body[at];
    }
    return out;
}

// The first line of text, printable ASCII only, at most kLongestText long.
std::string printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n' || out.size() >= kLongestText)
            break;
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string serverText(const HttpAnswer& answer)
{
    for (const char* name : {"error", "message"}) {
        if (std::string text = jsonMember(answer.body, name); !text.empty())
            return printable(text);
    }
    return printable(answer.body);
}

} // namespace

WriteVerdict judge(const HttpAnswer& answer)
{
    const long s = answer.status;
    if (s >= 200 && s < 300)
        return WriteVerdict::Sent;
    if (s == 0 || s == 408 || s == 429 || s >= 500)
        return WriteVerdict::Retry;
    if (s == 422 || ((s == 400) && serverText(answer).find("partial write") != std::string::npos))
        return WriteVerdict::PartlySent;
    return WriteVerdict::Refused;
}

std::string describeAnswer(const HttpAnswer& answer)
{
    if (answer.status == 0)
        return answer.failure.empty() ? "no answer" : printable(answer.failure);
    std::string out = std::to_string(answer.status);
    if (const char* phrase = reasonPhrase(answer.status); *phrase)
        out += std::string(" ") + phrase;
    if (const std::string text = serverText(answer); !text.empty())
        out += ": " + text;
    return out;
}

} // namespace plovex::fleet
