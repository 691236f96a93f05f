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

    const auto first = static_cast<std::size_t>(sel.selFirst);
    sel.selFirstTime = rec.sampleTime[first];
    sel.selLastTime = rec.sampleTime[static_cast<std::size_t>(sel.selLast)];
    sel.selCount = sel.selLast - sel.selFirst + 1;

    float tMax = rec.temperature[first], tMin = tMax, tSum = 0;
    float hMax = rec.humidity[first], hMin = hMax, hSum = 0;
    for (int i = sel.selFirst; i <= sel.selLast; ++i) {
        const float t = rec.temperature[static_cast<std::size_t>(i)];
        const float h = rec.humidity[static_cast<std::size_t>(i)];
        if (t > tMax) tMax = t;
        if (t < tMin) tMin = t;
        if (h > hMax) hMax = h;
        if (h < hMin) hMin = h;
        tSum += t;
        hSum += h;
    }
    sel.selTempMax = tMax;
    sel.selTempMin = tMin;
    sel.selTempAvg = tSum / static_cast<float>(sel.selCount);
    sel.selHumiMax = hMax;
    sel.selHumiMin = hMin;
    sel.selHumiAvg = hSum / static_cast<float>(sel.selCount);
    return true;
}

}  // namespace thermivo
