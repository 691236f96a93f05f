#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/SafeSave.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/RecordFile.h"
#include "RecordingJson.h"

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
    // "-" is the standard input: a file redirected into it, or a pipe read to its end.
    RecordFile file(path == "-" ? "/dev/stdin" : path, RecordFile::ModeRead);
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

int runInfo(const InfoRequest& request) {
    const std::string& path = request.path;
    const bool json = request.json;
    const double activationEnergy = request.activationEnergy;
    if (!request.unit.empty()) applyUnit(request.unit);
    // The option checks already refused malformed times.
    std::optional<std::int64_t> from, to;
    if (!request.from.empty()) from = parseMinuteTime(request.from);
    if (!request.to.empty()) to = parseMinuteTime(request.to);
    if (from && to && *from > *to) return usage("--from lies after --to");
    auto rec = std::make_unique<Recording>();
    if (!loadRecording(path, *rec)) return kExitFailure;
    const RecordingStatistics stats =
        computeStatistics(*rec, sampleRangeBetween(*rec, from, to), activationEnergy);
    if (json) {
        std::fputs(recordingToJson(*rec, {{"statistics", statisticsJson(stats)}}).c_str(), stdout);
        return kExitOk;
    }
    for (const auto& [index, bit] : kSummaryRows) {
        if ((rec->validMask & bit) == 0) continue;
        const auto k = static_cast<std::size_t>(index);
        std::printf("%s %s\n", trimLeft(rec->labels[k]).c_str(), rec->values[k].c_str());
    }
    std::printf("%s\n", text(2300).c_str());
    for (const auto& line : statisticsLines(stats, AppSettings::instance())) {
        if (line.second.empty())
            std::printf("  %s\n", line.first.c_str());
        else
            std::printf("  %s%s%s\n", line.first.c_str(), line.first.empty() ? "  " : " ", line.second.c_str());
    }
    return kExitOk;
}

int runCreate(const CreateRequest& request) {
    const std::string &input = request.input, &output = request.output;
    std::stringstream buffer;
    if (input == "-") {
        buffer << std::cin.rdbuf();
    } else {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "thermivo-cli: cannot read %s\n", input.c_str());
            return kExitFailure;
        }
        buffer << in.rdbuf();
    }
    JsonProblem problem;
    auto rec = std::make_unique<Recording>();
    if (!recordingFromJson(buffer.str(), *rec, &problem)) {
        std::fprintf(stderr, "thermivo-cli: %s: %s\n", input.c_str(), problem.describe().c_str());
        return kExitUsage;
    }
    RecordFile file(output, RecordFile::ModeWrite);
    if (!file.isOpen() || !file.write(*rec)) {
        std::fprintf(stderr, "%s%s\n%s\n(%s)\n", text(38).c_str(), output.c_str(),
                     saveProblemText(file.problem()).c_str(), file.error().c_str());
        return kExitFailure;
    }
    sayDone(text(37) + output);
    return kExitOk;
}

}  // namespace thermivo::cli
