#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "app/SafeSave.h"
#include "app/AppSettings.h"
#include "app/Json.h"
#include "app/UiText.h"
#include "data/RecordFile.h"
#include "data/RecordingJson.h"

namespace thermivo::cli {

namespace {

// Summary rows in the order the summary band shows them: value index and its mask bit.
constexpr std::pair<int, std::uint32_t> kSummaryRows[] = {
    {Recording::ValSerial, Recording::MaskSerial},       {Recording::ValStart, Recording::MaskStart},
    {Recording::ValStop, Recording::MaskStop},           {Recording::ValInterval, Recording::MaskInterval},
    {Recording::ValCount, Recording::MaskCount},         {Recording::ValDescription, Recording::MaskDescription},
    {Recording::ValTempMax, Recording::MaskTempMax},     {Recording::ValTempMin, Recording::MaskTempMin},
    {Recording::ValTempAvg, Recording::MaskTempAvg},     {Recording::ValTempUpper, Recording::MaskTempUpper},
    {Recording::ValTempLower, Recording::MaskTempLower}, {Recording::ValHumiMax, Recording::MaskHumiMax},
    {Recording::ValHumiMin, Recording::MaskHumiMin},     {Recording::ValHumiAvg, Recording::MaskHumiAvg},
    {Recording::ValHumiUpper, Recording::MaskHumiUpper}, {Recording::ValHumiLower, Recording::MaskHumiLower},
};

std::string trimLeft(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace

bool loadRecording(const std::string& path, Recording& rec) {
    RecordFile file(path, RecordFile::ModeRead);
    if (file.isOpen() && file.read(rec)) {
        rec.buildSampleTimes();
        rec.formatTemperatureTexts();
        return true;
    }
    std::fprintf(stderr, "%s%s\n", text(40).c_str(), path.c_str());
    if (!file.error().empty()) std::fprintf(stderr, "(%s)\n", file.error().c_str());
    return false;
}

bool applyUnit(const std::string& unit) {
    AppSettings& settings = AppSettings::instance();
    if (unit == "C" || unit == "c") {
        settings.currentUnit = settings.unitCelsius;
    } else if (unit == "F" || unit == "f") {
        settings.currentUnit = settings.unitFahrenheit;
    } else {
        return false;
    }
    return true;
}

int runInfo(const Args& args) {
    std::string path, unit;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--unit" && i + 1 < args.size()) {
            unit = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usage("unknown option '" + args[i] + "'");
        } else if (path.empty()) {
            path = args[i];
        } else {
            return usage("more than one file given");
        }
    }
    if (path.empty()) return usage("no file given");
    if (!unit.empty() && !applyUnit(unit)) return usage("--unit takes C or F");
    auto rec = std::make_unique<Recording>();
    if (!loadRecording(path, *rec)) return kExitFailure;
    if (json) {
        std::fputs(recordingToJson(*rec).c_str(), stdout);
        return kExitOk;
    }
    for (const auto& [index, bit] : kSummaryRows) {
        if ((rec->validMask & bit) == 0) continue;
        const auto k = static_cast<std::size_t>(index);
        std::printf("%s %s\n", trimLeft(rec->labels[k]).c_str(), rec->values[k].c_str());
    }
    return kExitOk;
}

int runCreate(const Args& args) {
    std::string input, output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from-json" && i + 1 < args.size()) {
            input = args[++i];
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else {
            return usage("unexpected argument '" + args[i] + "'");
        }
    }
    if (input.empty() || output.empty()) return usage("create needs --from-json IN.json and -o OUT.kvlu");

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "thermivo-cli: cannot read %s\n", input.c_str());
        return kExitFailure;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string error;
    const auto json = parseJson(buffer.str(), &error);
    auto rec = std::make_unique<Recording>();
    if (!json || !recordingFromJson(*json, *rec, &error)) {
        std::fprintf(stderr, "thermivo-cli: %s: %s\n", input.c_str(), error.c_str());
        return kExitFailure;
    }
    RecordFile file(output, RecordFile::ModeWrite);
    if (!file.isOpen() || !file.write(*rec)) {
        std::fprintf(stderr, "%s%s\n%s\n(%s)\n", text(38).c_str(), output.c_str(),
                     saveProblemText(file.problem()).c_str(), file.error().c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "%s%s\n", text(37).c_str(), output.c_str());
    return kExitOk;
}

}  // namespace thermivo::cli
