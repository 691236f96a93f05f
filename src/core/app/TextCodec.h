#pragma once
#include <optional>
#include <string>

namespace thermivo {

/// Bytes in the legacy Chinese code page (GBK, code page 936) to UTF-8; nothing when they are not valid GBK.
std::optional<std::string> gbkToUtf8(const std::string& bytes);

/// Bytes in Windows-1252 to UTF-8 (undefined bytes become U+FFFD).
std::string windows1252ToUtf8(const std::string& bytes);

/// 8-bit text of unknown origin to UTF-8: UTF-8 when valid, else GBK when it decodes, else Windows-1252.
std::string legacyTextToUtf8(const std::string& bytes);

}  // namespace thermivo
