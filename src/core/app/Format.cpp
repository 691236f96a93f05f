#include "app/Format.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace thermivo {

namespace {
// Qt calls setlocale(LC_ALL, "") behind our back, after which printf writes "4,25" under de_DE. Every
// format of the program means a decimal point, so each call switches only its own thread to the C locale
// for the length of the call; nothing process-wide is touched that a library could reset.
locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

class CLocaleScope {
  public:
    CLocaleScope() : previous_(cLocale() != nullptr ? uselocale(cLocale()) : nullptr) {}
    ~CLocaleScope() {
        if (previous_ != nullptr) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t previous_;
};
}  // namespace

std::string format(const char* fmt, ...) {
    const CLocaleScope cLocaleForThisCall;
    char small[256];
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        return std::string(small, static_cast<std::size_t>(n));
    }
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), fmt, copy);
#pragma GCC diagnostic pop
    va_end(copy);
    return std::string(big.data(), static_cast<std::size_t>(n));
}

namespace {
// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is not one.
std::size_t sequenceLength(const std::string& s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return 1;
    std::size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        const unsigned l = k == 1 ? lo : 0x80, h = k == 1 ? hi : 0xBF;
        if (b < l || b > h) return 0;
    }
    return len;
}
}  // namespace

bool isValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = sequenceLength(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::size_t utf8Length(const std::string& s) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const std::size_t len = sequenceLength(s, i);
        i += len == 0 ? 1 : len;
    }
    return count;
}

std::string utf8Left(const std::string& s, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < s.size() && count < n; ++count) {
        const std::size_t len = sequenceLength(s, i);
        i += len == 0 ? 1 : len;
    }
    return s.substr(0, i);
}

std::string utf8CutBytes(const std::string& s, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t len = sequenceLength(s, i);
        if (len == 0) len = 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return s.substr(0, i);
}

}  // namespace thermivo
