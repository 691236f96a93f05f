// Feeds arbitrary text to the JSON import: it must accept or refuse with a position inside the text, never
// crash; an accepted recording must export to JSON that imports to the same recording.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "RecordingJson.h"
#include "data/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto rec = std::make_unique<thermivo::Recording>();
    static auto again = std::make_unique<thermivo::Recording>();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    thermivo::JsonProblem problem;
    if (!thermivo::recordingFromJson(text, *rec, &problem)) {
        if (problem.offset > size || problem.line == 0 || problem.column == 0 || problem.message.empty())
            __builtin_trap();
        return 0;
    }
    if (!thermivo::recordingFromJson(thermivo::recordingToJson(*rec), *again, &problem)) __builtin_trap();
    if (thermivo::RecordFile::encode(*rec, {1, 2, 3, 4, 5}) !=
        thermivo::RecordFile::encode(*again, {1, 2, 3, 4, 5}))
        __builtin_trap();
    return 0;
}
