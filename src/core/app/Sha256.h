#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace thermivo {

/// SHA-256 (FIPS 180-4), fed in pieces; the digest names a file in reports, workbooks and the history.
class Sha256 {
  public:
    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    /// The digest; the object must not be fed again afterwards.
    std::array<std::uint8_t, 32> finish();
    /// The digest as 64 lower-case hex digits.
    std::string finishHex();

  private:
    void block(const std::uint8_t* p);
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

/// Lower-case hex SHA-256 of bytes in memory.
std::string sha256Hex(std::string_view bytes);
/// Lower-case hex SHA-256 of a file's content; nothing when it cannot be read (errno tells why).
std::optional<std::string> sha256HexOfFile(const std::string& path);

}  // namespace thermivo
