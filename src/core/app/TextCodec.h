#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace thermivo {

/// Bytes in the legacy Chinese code page (GBK, code page 936) to UTF-8; nothing when they are not valid GBK.
std::optional<std::string> gbkToUtf8(const std::string& bytes);

/// Bytes in Windows-1252 to UTF-8 (undefined bytes become U+FFFD).
std::string windows1252ToUtf8(const std::string& bytes);

/// The encodings a record file's description may be in.
enum class DescriptionEncoding { Utf8, Gbk, Windows1252 };

/// Which encoding the description bytes are in, decided from the bytes (see the rule in TextCodec.cpp);
/// `blockFull` says the bytes filled the whole description block (so the writer may have cut a character),
/// `languageId` (the system language) breaks a tie.
DescriptionEncoding descriptionEncoding(const std::string& bytes, bool blockFull, std::uint16_t languageId);

/// The description bytes of a record file as UTF-8 text, by descriptionEncoding(); a GBK character cut in
/// half by a full block is dropped.
std::string descriptionToUtf8(const std::string& bytes, bool blockFull, std::uint16_t languageId);

}  // namespace thermivo
