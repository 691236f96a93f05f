#pragma once
#include <string>
#include <utility>
#include <vector>

#include "app/Json.h"
#include "data/Recording.h"

namespace thermivo {

/// The recording as one JSON object (header, texts, labels, values and the loaded samples), followed by
/// `extra` keys whose values are JSON texts already.
std::string recordingToJson(const Recording& rec,
                            const std::vector<std::pair<std::string, std::string>>& extra = {});

/// Fills `rec` from a JSON object with the keys `recordingToJson` writes (only the data keys are read;
/// missing ones count as 0 or empty, but a missing stop time is the time of the last sample).
/// False with *error on anything malformed; `rec` is then unchanged.
bool recordingFromJson(const JsonValue& json, Recording& rec, std::string* error);

}  // namespace thermivo
