// Feeds arbitrary bytes to the record file reader: it must reject or accept, never crash or overrun.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto rec = std::make_unique<thermivo::Recording>();
    const std::vector<std::uint8_t> bytes(data, data + size);
    if (thermivo::RecordFile::decode(bytes, *rec)) {
        // An accepted file must re-encode to something the reader accepts again, or be refused cleanly.
        const auto again = thermivo::RecordFile::encode(*rec, {1, 2, 3, 4, 5});
        if (!again.empty() && !thermivo::RecordFile::decode(again, *rec)) __builtin_trap();
    }
    if (rec->samplesLoaded < 0 || rec->samplesLoaded > thermivo::Recording::kCapacity) __builtin_trap();
    return 0;
}
