#pragma once
#include <memory>
#include <string>

#include "TestSupport.h"
#include "data/LocalTime.h"
#include "data/Recording.h"

namespace thermivo::testing {

/// A complete recording of `count` samples starting 2014-03-01 10:00 UTC every `interval` seconds;
/// temperatures follow a saw-tooth between -10 and 30 °C, humidity between 20 and 80 %.
inline std::unique_ptr<Recording> makeSawtoothRecording(int count, std::int32_t kind = KindTemp,
                                                        std::int64_t interval = 60) {
    auto rec = std::make_unique<Recording>();
    rec->kind = kind;
    rec->values[Recording::ValSerial] = kind == KindTempHumi ? "UTH12345678" : "DI123456789";
    rec->setDefaultDescription();
    rec->startTime = 1393668000;  // 2014-03-01 10:00 UTC
    rec->intervalSeconds = interval;
    rec->sampleCount = count;
    rec->samplesLoaded = count;
    rec->dataFlags = Recording::kSamplesPresent;
    rec->buildSampleTimes();
    rec->stopTime = rec->sampleTime[static_cast<std::size_t>(count > 0 ? count - 1 : 0)];
    rec->values[Recording::ValInterval] = intervalText(interval);
    for (int i = 0; i < count; ++i) {
        rec->temperature[static_cast<std::size_t>(i)] = -10.0f + static_cast<float>(i % 81) * 0.5f;
        rec->humidity[static_cast<std::size_t>(i)] = 20.0f + static_cast<float>(i % 61);
    }
    return rec;
}

}  // namespace thermivo::testing
