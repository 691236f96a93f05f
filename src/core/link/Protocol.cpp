#include "link/Protocol.h"

#include <algorithm>
#include <cmath>

namespace thermivo::protocol {

std::uint32_t byteSum(const std::uint8_t* data, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += data[i];
    return sum;
}

float decodeValue(std::uint8_t low, std::uint8_t high) {
    const auto raw = static_cast<std::uint16_t>(low | (high << 8));
    if (raw == 0x8000) return 0.0f;
    return static_cast<float>(static_cast<std::int16_t>(raw)) / 100.0f;
}

std::array<std::uint8_t, 2> encodeValue(float celsius) {
    const double hundredths = std::clamp(std::round(static_cast<double>(celsius) * 100.0), -32767.0, 32767.0);
    const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(hundredths));
    return {static_cast<std::uint8_t>(raw & 0xFF), static_cast<std::uint8_t>(raw >> 8)};
}

}  // namespace thermivo::protocol
