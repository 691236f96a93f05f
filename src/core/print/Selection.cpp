#include "print/Selection.h"

namespace thermivo {

bool SelectRange(const Recording& rec, std::int64_t start, std::int64_t end, Selection& sel) {
    if (start < rec.startTime) start = rec.startTime;
    if (end > rec.stopTime) end = rec.stopTime;
    if (end < start) return false;

    sel = Selection{};
    const int n = rec.usableSamples();
    for (int i = 0; i < n; ++i) {
        const std::int64_t t = rec.sampleTime[static_cast<std::size_t>(i)];
        if (t <= start) sel.selFirst = i;
        if (t <= end) sel.selLast = i;
    }
    if (n == 0 || sel.selLast < sel.selFirst) {
        sel = Selection{};
        return true;
    }

    sel.selFirstTime = rec.sampleTime[static_cast<std::size_t>(sel.selFirst)];
    sel.selLastTime = rec.sampleTime[static_cast<std::size_t>(sel.selLast)];
    sel.selCount = sel.selLast - sel.selFirst + 1;

    // A sample without value is no reading: it counts for neither extreme nor the average.
    const auto summarise = [&](const float* values, float& max, float& min, float& avg) {
        bool any = false;
        float sum = 0;
        int valued = 0;
        for (int i = sel.selFirst; i <= sel.selLast; ++i) {
            const float v = values[i];
            if (!Recording::hasValue(v)) continue;
            if (!any || v > max) max = v;
            if (!any || v < min) min = v;
            any = true;
            sum += v;
            ++valued;
        }
        avg = valued > 0 ? sum / static_cast<float>(valued) : 0.0f;
    };
    summarise(rec.temperature.data(), sel.selTempMax, sel.selTempMin, sel.selTempAvg);
    summarise(rec.humidity.data(), sel.selHumiMax, sel.selHumiMin, sel.selHumiAvg);
    return true;
}

}  // namespace thermivo
