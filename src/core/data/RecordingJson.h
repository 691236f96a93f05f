#pragma once
#include <string>

#include "app/Json.h"
#include "data/Recording.h"

namespace thermivo {

/// The recording as one JSON object (header, texts, labels, values and the loaded samples).
std::string recordingToJson(const Recording& rec);

/// Fills `rec` from a JSON object with the keys `recordingToJson` writes (only the data keys are read;
/// missing ones count as 0 or empty, but a missing stop time is the time of the last sample).
/// False with *error on anything malformed; `rec` is then unchanged.
bool recordingFromJson(const JsonValue& json, Recording& rec, std::string* error);

}  // namespace thermivo
