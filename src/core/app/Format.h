#pragma once
#include <string>

namespace thermivo {

/// printf-style formatting into a std::string; the one helper for every fixed text format of the program.
/// Always in the C locale (a decimal point), whatever locale the process or a library has set.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Number of UTF-8 characters (code points) in a string; invalid bytes count one each.
std::size_t utf8Length(const std::string& s);

/// The first n UTF-8 characters of s (whole characters only).
std::string utf8Left(const std::string& s, std::size_t n);

/// The longest prefix of s of at most maxBytes bytes that ends on a character boundary.
std::string utf8CutBytes(const std::string& s, std::size_t maxBytes);

/// True when s is well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(const std::string& s);

}  // namespace thermivo
