#include "params/Json.h"

#include "params/PrintableText.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace plovex::params {

const JsonValue* JsonValue::member(const std::string& name) const
{
    if (kind != Kind::Object)
        return nullptr;
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &it->second;
}

namespace {

// Nesting deeper than this is refused, so that a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 64;

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document(std::string* error)
    {
        JsonValue v;
        skipBlanks();
        if (value(v, 0)) {
            skipBlanks();
            if (pos_ == text_.size())
                return v;
            fail("unexpected text after the end of the value");
        }
        if (error) {
            std::size_t line = 1, column = 1;
            for (std::size_t i = 0; i < failPos_ && i < text_.size(); ++i) {
                if (text_[i] == '\n')
                    ++line, column = 1;
                else
                    ++column;
            }
            *error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + why_;
        }
        return std::nullopt;
    }

private:
    bool fail(std::string why)
    {
        if (why_.empty()) {
            why_ = std::move(why);
            failPos_ = pos_;
        }
        return false;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skipBlanks()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++pos_;
    }
    bool literal(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word)
            return fail("not a JSON value");
        pos_ += word.size();
        return true;
    }

    bool value(JsonValue& v, int depth)
    {
        if (depth > kJsonMaxDepth)
            return fail("nested deeper than " + std::to_string(kJsonMaxDepth) + " levels");
        switch (peek()) {
        case '{':
            return object(v, depth);
        case '[':
            return array(v, depth);
        case '"':
            v.kind = JsonValue::Kind::String;
            return string(v.string);
        case 't':
            v.kind = JsonValue::Kind::Boolean, v.boolean = true;
            return literal("true");
        case 'f':
            v.kind = JsonValue::Kind::Boolean;
            return literal("false");
        case 'n':
            return literal("null");
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                return number(v);
            return fail(atEnd() ? "the text ends where a value should be" : "not a JSON value");
        }
    }

    bool object(JsonValue& v, int depth)
    {
        v.kind = JsonValue::Kind::Object;
        ++pos_;
        skipBlanks();
        if (peek() == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            if (peek() != '"')
                return fail("a member name in double quotes is expected");
            const std::size_t at = pos_;
            std::string name;
            if (!string(name))
                return false;
            if (v.object.count(name)) {
                pos_ = at;
                return fail("the member \"" + printableText(name) + "\" appears twice");
            }
            skipBlanks();
            if (peek() != ':')
                return fail("':' is expected after a member name");
            ++pos_;
            skipBlanks();
            if (!value(v.object[name], depth + 1))
                return false;
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == '}') {
                ++pos_;
                return true;
            }
            return fail("',' or '}' is expected");
        }
    }

    bool array(JsonValue& v, int depth)
    {
        v.kind = JsonValue::Kind::Array;
        ++pos_;
        skipBlanks();
        if (peek() == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            v.array.emplace_back();
            if (!value(v.array.back(), depth + 1))
                return false;
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ']') {
                ++pos_;
                return true;
            }
            return fail("',' or ']' is expected");
        }
    }

    bool hex4(uint32_t& out)
    {
        out = 0;
        for (int k = 0; k < 4; ++k, ++pos_) {
            const char c = peek();
            const int d = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0)
                return fail("\\u needs four hexadecimal digits");
            out = out * 16 + static_cast<uint32_t>(d);
        }
        return true;
    }

    bool string(std::string& out)
    {
        ++pos_; // the opening quote
        for (;;) {
            if (atEnd())
                return fail("a string is not closed");
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                return fail("a control character inside a string");
            if (c != '\\') {
                const std::size_t n = platform::utf8Length(text_, pos_);
                if (n == 0)
                    return fail("a string is not valid UTF-8");
                out.append(text_.substr(pos_, n));
                pos_ += n;
                continue;
            }
            ++pos_;
            const char e = peek();
            ++pos_;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t cp;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    return fail("an unpaired surrogate in \\u");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    uint32_t low;
                    if (text_.substr(pos_, 2) != "\\u")
                        return fail("an unpaired surrogate in \\u");
                    pos_ += 2;
                    if (!hex4(low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return fail("an unpaired surrogate in \\u");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                --pos_;
                return fail("an unknown escape in a string");
            }
        }
    }

    bool digits()
    {
        if (!(peek() >= '0' && peek() <= '9'))
            return fail("a digit is expected");
        while (peek() >= '0' && peek() <= '9')
            ++pos_;
        return true;
    }

    bool number(JsonValue& v)
    {
        v.kind = JsonValue::Kind::Number;
        const std::size_t start = pos_;
        bool integral = true;
        if (peek() == '-')
            ++pos_;
        if (peek() == '0') {
            ++pos_;
            if (peek() >= '0' && peek() <= '9')
                return fail("a number with a leading zero");
        } else if (!digits()) {
            return false;
        }
        if (peek() == '.') {
            ++pos_;
            integral = false;
            if (!digits())
                return false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            integral = false;
            if (peek() == '+' || peek() == '-')
                ++pos_;
            if (!digits())
                return false;
        }
        v.numberText = std::string(text_.substr(start, pos_ - start));
        if (integral) {
            errno = 0;
            const long long n = std::strtoll(v.numberText.c_str(), nullptr, 10);
            if (errno != ERANGE)
                v.integer = n;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string why_;
    std::size_t failPos_ = 0;
};

} // namespace

std::optional<JsonValue> parseJson(std::string_view text, std::string* error)
{
    return Reader(text).document(error);
}

std::string quoteJson(std::string_view text)
{
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else if (c >= 0x80) {
            const std::size_t n = platform::utf8Length(text, i);
            if (n == 0) {
                out += "\xEF\xBF\xBD"; // U+FFFD
                ++i;
                continue;
            }
            out.append(text.substr(i, n));
            i += n;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

} // namespace plovex::params
