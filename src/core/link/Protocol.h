#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

/// Byte layout of the instrument protocol, shared by the link, the reply decoder and the simulator.
namespace thermivo::protocol {

using Bytes3 = std::array<std::uint8_t, 3>;

constexpr std::uint8_t kLead = 0xFF;

// Signatures (bytes 1-3) of commands and replies.
constexpr Bytes3 kSigHeader{0xCF, 0xBF, 0x5F};
constexpr Bytes3 kSigBlock{0x5E, 0xBE, 0x6E};
constexpr Bytes3 kSigClock{0xBD, 0x5D, 0x7D};
/// Recognised as a frame start so its bytes are skipped as a unit, then always dropped.
constexpr Bytes3 kSigIgnored{0xB8, 0x68, 0xC8};

// Argument / echo bytes (offsets 4-6).
constexpr Bytes3 kEchoPlainHeader{0x00, 0x00, 0x00};
constexpr Bytes3 kEchoDownloadHeader{'S', 'T', 0x00};
constexpr Bytes3 kEchoClockSet{0x00, 0x00, 0x00};
constexpr Bytes3 kEchoStatus{0x7D, 0xBD, 0x5D};
constexpr std::uint8_t kStartMarker = 0x9D;  ///< echo 00 9D m answers a start request
constexpr std::uint8_t kBlockRequestTail = 0xFF;

// Frame geometry: lead, signature, echo, length byte, payload, 16-bit sum.
constexpr int kEchoOffset = 4;
constexpr int kLengthOffset = 7;
constexpr int kPayloadOffset = 8;
constexpr int kFrameOverhead = 10;
constexpr int kShortCommand = 7;
constexpr int kLongCommand = 14;

constexpr int kHeaderPayload = 37;
constexpr int kBlockPayload = 32;
constexpr int kClockPayload = 10;
constexpr int kSamplesPerBlock = 16;

/// Offsets inside a header reply.
namespace header {
constexpr int kSerial = 8;
constexpr int kSerialLength = 11;
constexpr int kStart = 20;  ///< minute, hour, day, month, year % 100, century
constexpr int kStop = 27;
constexpr int kMax = 33;
constexpr int kMin = 35;
constexpr int kSum = 37;
constexpr int kCount = 41;
constexpr int kInterval = 43;
constexpr int kState = 44;
}  // namespace header

/// Offsets inside a clock reply.
namespace clock {
constexpr int kState = 8;
constexpr int kTime = 9;  ///< second, minute, hour, day, month, year % 100, century
constexpr int kBattery = 16;
}  // namespace clock

/// Offset of the clock block in the 14-byte commands: second, minute, hour, day, month, year % 100, century.
constexpr int kClockBlockOffset = 7;

/// Arithmetic sum of the bytes. A reply's 16-bit check value must equal it as a whole number, so a sum
/// above 0xFFFF never matches.
std::uint32_t byteSum(const std::uint8_t* data, std::size_t n);

/// Two bytes, low first, in hundredths of a degree; 0x8000 reads 0.
float decodeValue(std::uint8_t low, std::uint8_t high);

/// Hundredths of a degree as the two bytes the instrument sends (rounded, limited to 16 bits).
std::array<std::uint8_t, 2> encodeValue(float celsius);

}  // namespace thermivo::protocol
