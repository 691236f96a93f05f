#include "app/Json.h"

#include <charconv>
#include <cmath>

#include "app/Format.h"

namespace thermivo {

const JsonValue* JsonValue::find(const std::string& key) const {
    if (!isObject()) return nullptr;
    const auto& o = asObject();
    const auto it = o.find(key);
    return it == o.end() ? nullptr : &it->second;
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<JsonValue> parseDocument(std::string* error) {
        auto v = parseValue(0);
        skipSpace();
        if (v && pos_ != s_.size()) fail("unexpected text after the value");
        if (!error_.empty()) {
            if (error != nullptr) *error = format("%s at offset %zu", error_.c_str(), pos_);
            return std::nullopt;
        }
        return v;
    }

private:
    void fail(const char* what) {
        if (error_.empty()) error_ = what;
    }
    void skipSpace() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    std::optional<JsonValue> parseValue(int depth) {
        if (depth > kMaxDepth) {
            fail("nesting too deep");
            return std::nullopt;
        }
        skipSpace();
        if (pos_ >= s_.size()) {
            fail("unexpected end of text");
            return std::nullopt;
        }
        const char c = s_[pos_];
        if (c == '{') return parseObject(depth);
        if (c == '[') return parseArray(depth);
        if (c == '"') {
            auto str = parseString();
            if (!str) return std::nullopt;
            return JsonValue(std::move(*str));
        }
        if (literal("true")) return JsonValue(true);
        if (literal("false")) return JsonValue(false);
        if (literal("null")) return JsonValue(nullptr);
        return parseNumber();
    }

    std::optional<JsonValue> parseNumber() {
        const std::size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        while (pos_ < s_.size() && std::string_view("0123456789.eE+-").find(s_[pos_]) != std::string_view::npos)
            ++pos_;
        double v = 0;
        const auto res = std::from_chars(s_.data() + start, s_.data() + pos_, v);
        if (start == pos_ || res.ec != std::errc() || res.ptr != s_.data() + pos_ || !std::isfinite(v)) {
            pos_ = start;
            fail("invalid value");
            return std::nullopt;
        }
        return JsonValue(v);
    }

    static void appendUtf8(std::string& out, char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    std::optional<unsigned> hex4() {
        if (pos_ + 4 > s_.size()) return std::nullopt;
        unsigned v = 0;
        const auto res = std::from_chars(s_.data() + pos_, s_.data() + pos_ + 4, v, 16);
        if (res.ptr != s_.data() + pos_ + 4) return std::nullopt;
        pos_ += 4;
        return v;
    }

    std::optional<std::string> parseString() {
        ++pos_;  // opening quote
        std::string out;
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) break;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) break;
            const char e = s_[pos_++];
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
                    auto u = hex4();
                    if (!u) {
                        fail("invalid \\u escape");
                        return std::nullopt;
                    }
                    char32_t cp = *u;
                    if (cp >= 0xD800 && cp <= 0xDBFF && s_.substr(pos_, 2) == "\\u") {
                        pos_ += 2;
                        auto lo = hex4();
                        if (!lo || *lo < 0xDC00 || *lo > 0xDFFF) {
                            fail("invalid surrogate pair");
                            return std::nullopt;
                        }
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (*lo - 0xDC00);
                    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                        fail("invalid surrogate");
                        return std::nullopt;
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default: fail("invalid escape"); return std::nullopt;
            }
        }
        fail("unterminated string");
        return std::nullopt;
    }

    std::optional<JsonValue> parseArray(int depth) {
        ++pos_;
        JsonValue::Array items;
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return JsonValue(std::move(items));
        }
        while (true) {
            auto v = parseValue(depth + 1);
            if (!v) return std::nullopt;
            items.push_back(std::move(*v));
            skipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return JsonValue(std::move(items));
            }
            fail("expected ',' or ']'");
            return std::nullopt;
        }
    }

    std::optional<JsonValue> parseObject(int depth) {
        ++pos_;
        JsonValue::Object members;
        skipSpace();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return JsonValue(std::move(members));
        }
        while (true) {
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '"') {
                fail("expected a member name");
                return std::nullopt;
            }
            auto key = parseString();
            if (!key) return std::nullopt;
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != ':') {
                fail("expected ':'");
                return std::nullopt;
            }
            ++pos_;
            auto v = parseValue(depth + 1);
            if (!v) return std::nullopt;
            members[*key] = std::move(*v);
            skipSpace();
            if (pos_ < s_.size() && s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return JsonValue(std::move(members));
            }
            fail("expected ',' or '}'");
            return std::nullopt;
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

std::optional<JsonValue> parseJson(std::string_view text, std::string* error) {
    return Parser(text).parseDocument(error);
}

std::string jsonQuote(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) out += format("\\u%04x", static_cast<unsigned>(c));
                else out += c;
        }
    }
    return out + "\"";
}

std::string jsonNumber(float v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

}  // namespace thermivo
