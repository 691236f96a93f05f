#pragma once
#include <cstdint>

#include "data/Recording.h"

namespace thermivo {

/// The samples chosen for printing and their statistics; indices are absolute, times seconds since 1970.
struct Selection {
    std::int64_t selFirstTime = 0;
    std::int64_t selLastTime = 0;
    int selCount = 0;
    int selFirst = 0;
    int selLast = 0;
    float selTempMax = 0, selTempMin = 0, selTempAvg = 0;
    float selHumiMax = 0, selHumiMin = 0, selHumiAvg = 0;
};

/// Selects the samples from the last one at or before `start` to the last one at or before `end`, after
/// clamping both to the recording's start and stop time. False (and `sel` untouched) when the clamped end
/// lies before the clamped start; the caller tells the user.
bool SelectRange(const Recording& rec, std::int64_t start, std::int64_t end, Selection& sel);

}  // namespace thermivo
