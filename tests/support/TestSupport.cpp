#include "TestSupport.h"

#include <clocale>
#include <cstdlib>

#include "app/Format.h"
#include "data/LocalTime.h"

namespace thermivo::testing {

namespace {
struct GeneratedLocale {
    std::string dir;
    GeneratedLocale() {
        std::string templ = (std::filesystem::temp_directory_path() / "thermivo-locale-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) return;
        const std::string cmd =
            "localedef -i de_DE -f UTF-8 '" + templ + "/" + kCommaLocale + "' >/dev/null 2>&1";
        // localedef warns (exit 1) on harmless details of the source files; the result decides.
        (void)std::system(cmd.c_str());
        if (std::filesystem::exists(templ + "/" + kCommaLocale + "/LC_NUMERIC"))
            dir = templ;
        else
            std::filesystem::remove_all(templ);
    }
    ~GeneratedLocale() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};
}  // namespace

const std::string& commaLocaleDir() {
    static const GeneratedLocale generated;
    return generated.dir;
}

ScopedCommaLocale::ScopedCommaLocale() {
    if (commaLocaleDir().empty()) return;
    if (const char* old = std::getenv("LOCPATH")) previousLocPath_ = old, hadLocPath_ = true;
    if (const char* old = std::setlocale(LC_ALL, nullptr)) previousLocale_ = old;
    setenv("LOCPATH", commaLocaleDir().c_str(), 1);
    active_ = std::setlocale(LC_ALL, kCommaLocale) != nullptr;
}

ScopedCommaLocale::~ScopedCommaLocale() {
    if (commaLocaleDir().empty()) return;
    if (hadLocPath_)
        setenv("LOCPATH", previousLocPath_.c_str(), 1);
    else
        unsetenv("LOCPATH");
    std::setlocale(LC_ALL, previousLocale_.empty() ? "C" : previousLocale_.c_str());
}

std::unique_ptr<Recording> makeRecording(std::int32_t kind, int samples, std::int64_t start,
                                         std::int64_t interval) {
    auto rec = std::make_unique<Recording>();
    rec->kind = kind;
    const char* serial = kind == KindTempHumi      ? "UTH00012345"
                         : kind == KindTempCompact ? "DX000012345"
                         : kind == KindTempUT      ? "UT000012345"
                                                   : "DI000012345";
    rec->values[Recording::ValSerial] = serial;
    rec->startTime = start;
    rec->intervalSeconds = interval;
    rec->sampleCount = samples;
    rec->stopTime = start + interval * (samples > 0 ? samples - 1 : 0);
    float mx = -1e9f, mn = 1e9f, sum = 0;
    for (int i = 0; i < samples && i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        rec->temperature[k] = static_cast<float>((i * 37) % 200 - 50) / 10.0f;  // -5.0 .. 14.9
        rec->humidity[k] = static_cast<float>(400 + (i * 13) % 300) / 10.0f;    // 40.0 .. 69.9
        mx = std::max(mx, rec->temperature[k]);
        mn = std::min(mn, rec->temperature[k]);
        sum += rec->temperature[k];
    }
    rec->samplesLoaded = samples;
    rec->tempMax = samples > 0 ? mx : 0;
    rec->tempMin = samples > 0 ? mn : 0;
    rec->tempAvg = samples > 0 ? sum / static_cast<float>(samples) : 0;
    if (kind != KindTempCompact) {
        rec->tempUpper = 8.0f;
        rec->tempLower = 2.0f;
        rec->tempAlarmOn = true;
    }
    if (kind == KindTempHumi) {
        rec->humiMax = 69.9f;
        rec->humiMin = 40.0f;
        rec->humiAvg = 55.5f;
        rec->humiUpper = 65.0f;
        rec->humiLower = 45.0f;
        rec->humiAlarmOn = true;
    }
    rec->dataFlags = Recording::kSamplesPresent;
    rec->setDefaultDescription();
    rec->buildSampleTimes();
    return rec;
}

}  // namespace thermivo::testing
