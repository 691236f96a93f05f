#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/Recording.h"

namespace thermivo {

/// Why a JSON text was refused and where: the value at fault, or where the text stops being JSON.
struct JsonProblem {
    std::string message;
    std::size_t line = 0, column = 0;  ///< 1-based; column counts bytes
    std::size_t offset = 0;            ///< bytes from the start of the text

    /// "line L, column C (offset O): message"
    std::string describe() const;
};

/// The recording as one JSON object (header, texts, labels, values and the loaded samples): one key a line,
/// each value on its own line, numbers as short as they read back exactly; then the `extra` keys, whose
/// values are JSON texts already.
std::string recordingToJson(const Recording& rec,
                            const std::vector<std::pair<std::string, std::string>>& extra = {});

/// Fills `rec` from a JSON text with the keys `recordingToJson` writes (only the data keys are read;
/// missing ones count as 0 or empty, but a missing stop time is the time of the last sample).
/// False with *problem on anything malformed; `rec` is then unchanged.
bool recordingFromJson(std::string_view text, Recording& rec, JsonProblem* problem);

}  // namespace thermivo
