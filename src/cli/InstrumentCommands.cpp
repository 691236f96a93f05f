#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "Commands.h"
#include "HeadlessLink.h"
#include "app/Format.h"
#include "app/SafeSave.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"

namespace thermivo::cli {

namespace {

using std::chrono::seconds;

constexpr int kTextNoSamples = 2090;
constexpr int kTextMissingInside = 2425;
constexpr int kTextNothingArrived = 2426;
constexpr int kTextOutputFolder = 2427;

// The first status reply after connecting: clock, state and battery.
bool waitForStatus(HeadlessSession& s) {
    s.controller().onTimer(TIMER_POLL);  // ask now instead of after the first 4.5-second period
    return s.runUntil(
        [&s] {
            auto lock = s.link().lockRecording();
            return s.recording().instrumentClock != 0 && s.recording().batteryValid;
        },
        seconds(15));
}

// The samples that arrived, saved as a recording of their own; the download still counts as failed.
// Samples missing inside it carry the no-value marker, and the file ends with the last sample that arrived.
void savePartial(HeadlessSession& s, const std::string& output) {
    s.link().closePort();
    auto rec = std::make_unique<Recording>();
    {
        auto lock = s.link().lockRecording();
        *rec = s.recording();
    }
    if (!rec->hasSamples() || rec->arrivedSamples() <= 0) {
        std::fprintf(stderr, "%s\n", text(kTextNothingArrived).c_str());
        return;
    }
    const std::string received = std::to_string(rec->arrivedSamples());
    const std::string announced = std::to_string(rec->sampleCount);
    int first = -1, last = -1;
    for (int i = 0; i < rec->usableSamples(); ++i) {
        if (Recording::hasValue(rec->temperature[static_cast<std::size_t>(i)])) continue;
        if (first < 0) first = i;
        last = i;
    }
    rec->cutToReceivedSamples();
    RecordFile file(output, RecordFile::ModeWrite);
    if (!file.isOpen() || !file.write(*rec)) {
        std::fprintf(stderr, "%s%s\n(%s)\n", text(38).c_str(), output.c_str(), file.error().c_str());
        return;
    }
    recordFile(&history(), HistoryEvent::FileSaved, output, *rec, {{"from", "partial download"}});
    std::fprintf(stderr, "%s%s\n", textWith(2057, {received, announced}).c_str(), output.c_str());
    if (rec->samplesMissing > 0) {
        std::fprintf(stderr, "%s\n",
                     textWith(kTextMissingInside, {std::to_string(rec->samplesMissing), announced,
                                                   std::to_string(first), std::to_string(last)})
                         .c_str());
    }
}

// The folder the output goes to must take a file before minutes are spent on the download.
bool outputFolderWritable(const std::string& output) {
    std::filesystem::path folder = std::filesystem::path(output).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    const bool isDir = std::filesystem::is_directory(folder, ec);
    if (isDir && ::access(folder.c_str(), W_OK) == 0) return true;
    const SaveProblem problem = !isDir           ? SaveProblem::FolderMissing
                                : errno == EROFS ? SaveProblem::ReadOnlyDisk
                                                 : SaveProblem::PermissionDenied;
    const std::string why = saveProblemText(problem);
    std::fprintf(stderr, "%s\n", textWith(kTextOutputFolder, {folder.string(), why}).c_str());
    return false;
}

}  // namespace

int runDownload(const InstrumentRequest& a) {
    if (!outputFolderWritable(a.output)) return kExitFailure;
    std::string port;
    if (const int chosen = choosePort(a.port, port); chosen != kExitOk) return chosen;
    HeadlessSession s(port);
    // The same rule as the window: every complete download is kept in the recordings folder as well.
    const RecordingStore store(RecordingStore::defaultRoot());
    if (!a.noKeep) s.controller().setRecordingStore(&store);
    if (!s.connect()) return kExitFailure;
    const std::string empty = text(kTextNoSamples);
    std::int32_t announced = 0;
    {
        auto lock = s.link().lockRecording();
        announced = s.recording().sampleCount;
    }
    // Asking for the download would stop the instrument's recording for nothing.
    if (announced <= 0) {
        std::fprintf(stderr, "%s\n", empty.c_str());
        return kExitNoSamples;
    }
    const auto started = std::chrono::steady_clock::now();
    if (!toolOptions().quiet) s.view().showProgressOf(announced);
    s.controller().onDownloadClicked();
    const std::string done = text(28), failed = text(141);
    // The controller ends every download by itself; the limit only guards against a controller fault.
    const auto limit = seconds(LinkController::downloadLimitTicks(Recording::kCapacity) + 60);
    s.runUntil([&] { return !s.controller().downloadBusy(); }, limit);
    const std::string outcome = s.view().text(IDC_STATUS);
    Recording& rec = s.recording();
    std::int32_t loaded = 0, count = 0;
    bool present = false;
    {
        auto lock = s.link().lockRecording();
        loaded = rec.samplesLoaded;
        count = rec.sampleCount;
        present = rec.hasSamples();
    }
    if (outcome == empty) {
        std::fprintf(stderr, "%s\n", empty.c_str());
        return kExitNoSamples;
    }
    const bool complete = outcome == done && loaded == count && present;
    if (!complete) {
        std::fprintf(stderr, "%s\n", failed.c_str());
        if (a.partial) savePartial(s, a.output);
        return kExitFailure;
    }
    s.view().setProgress(IDC_DOWNLOAD_BAR, LinkController::kDownloadBarMax);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    sayDone(textWith(2807, {std::to_string(loaded), format("%.1f", seconds)}));
    s.link().closePort();
    // Where the original was kept is news only with the other success lines; a copy that failed is always
    // told.
    if (s.controller().keptOk())
        sayDone(s.controller().keptText());
    else if (!s.controller().keptText().empty())
        std::fprintf(stderr, "%s\n", s.controller().keptText().c_str());
    rec.formatTemperatureTexts();
    RecordFile file(a.output, RecordFile::ModeWrite);
    if (!file.isOpen() || !file.write(rec)) {
        std::fprintf(stderr, "%s%s\n%s\n(%s)\n", text(38).c_str(), a.output.c_str(),
                     saveProblemText(file.problem()).c_str(), file.error().c_str());
        return kExitFailure;
    }
    recordFile(&history(), HistoryEvent::FileSaved, a.output, rec, {{"from", "download"}});
    sayDone(done);
    sayDone(text(37) + a.output);
    return kExitOk;
}

int runStatus(const InstrumentRequest& a) {
    std::string port;
    if (const int chosen = choosePort(a.port, port); chosen != kExitOk) return chosen;
    HeadlessSession s(port);
    if (!s.connect()) return kExitFailure;
    if (!waitForStatus(s)) {
        std::fprintf(stderr, "%s\n", text(27).c_str());
        return kExitFailure;
    }
    auto lock = s.link().lockRecording();
    const Recording& rec = s.recording();
    const int stateText = rec.instrumentState == 0 ? 76 : rec.instrumentState == 1 ? 77 : 78;
    const auto clock = toLocal(rec.instrumentClock);
    if (a.json) {
        const char* state = rec.instrumentState == 0   ? "idle"
                            : rec.instrumentState == 1 ? "recording"
                                                       : "stopped";
        const std::string clockText =
            clock ? format("\"%d-%.2d-%.2dT%.2d:%.2d:%.2d\"", clock->year, clock->month, clock->day,
                           clock->hour, clock->minute, clock->second)
                  : std::string("null");
        std::printf(
            "{\"port\": \"%s\", \"serial\": \"%s\", \"clock\": %s, \"clockSeconds\": %lld, \"state\": "
            "\"%s\", "
            "\"stateText\": \"%s\", \"batteryPercent\": %d}\n",
            jsonEscape(port).c_str(), jsonEscape(rec.serialText()).c_str(), clockText.c_str(),
            static_cast<long long>(rec.instrumentClock), state, jsonEscape(text(stateText)).c_str(),
            rec.batteryPercent);
        return kExitOk;
    }
    std::printf("serial: %s\n", rec.serialText().c_str());
    if (clock) {
        std::printf("clock: %d-%.2d-%.2d %.2d:%.2d:%.2d\n", clock->year, clock->month, clock->day,
                    clock->hour, clock->minute, clock->second);
    }
    std::printf("state: %s\n", text(stateText).c_str());
    std::printf("battery: %d %%\n", rec.batteryPercent);
    return kExitOk;
}

int runSetClock(const InstrumentRequest& a) {
    std::string port;
    if (const int chosen = choosePort(a.port, port); chosen != kExitOk) return chosen;
    HeadlessSession s(port);
    if (!s.connect()) return kExitFailure;
    // The clock as it was goes into the history beside the new time; without a status reply it reads unknown.
    waitForStatus(s);
    s.takeStatus();
    s.controller().onCalibrationClicked();
    const std::string ok = text(131), failed = text(132);
    const bool settled = s.runUntil(
        [&] {
            const auto t = s.view().text(IDC_STATUS);
            return t == ok || t == failed;
        },
        seconds(30));
    const bool success = settled && s.view().text(IDC_STATUS) == ok;
    if (success) {
        sayDone(ok);
        return kExitOk;
    }
    std::fprintf(stderr, "%s\n%s\n", failed.c_str(), text(2818).c_str());
    return kExitFailure;
}

int runStart(const InstrumentRequest& a) {
    std::string port;
    if (const int chosen = choosePort(a.port, port); chosen != kExitOk) return chosen;
    HeadlessSession s(port);
    if (!s.connect()) return kExitFailure;
    std::int32_t kind = 0;
    {
        auto lock = s.link().lockRecording();
        kind = s.recording().kind;
    }
    if (kind != KindTemp) {
        std::fprintf(stderr, "%s\n", textWith(2806, {s.recording().serialText()}).c_str());
        return kExitFailure;
    }
    // The battery check needs a status reply first.
    if (!waitForStatus(s)) {
        std::fprintf(stderr, "%s\n", text(27).c_str());
        return kExitFailure;
    }
    s.takeStatus();
    if (s.recording().instrumentState == 1) {
        std::fprintf(stderr, "%s\n", text(2803).c_str());
        return kExitFailure;
    }
    s.view().setText(IDC_MINUTES, std::to_string(a.interval));
    s.takeStatus();
    s.controller().onStartRecordClicked();
    const std::string started = text(77), noAnswer = text(27);
    const auto refused = {text(149), text(150)};
    auto outcome = [&] {
        const auto t = s.view().text(IDC_STATUS);
        if (t == started || t == noAnswer) return t;
        for (const auto& r : refused)
            if (t == r) return t;
        return std::string();
    };
    s.runUntil([&] { return !outcome().empty(); }, seconds(30));
    const std::string result = outcome();
    if (result == started) {
        sayDone(result);
        return kExitOk;
    }
    // "No answer" after a start command leaves the instrument's state open; say that, not just "no answer".
    if (result.empty() || result == noAnswer) {
        std::fprintf(stderr, "%s\n%s\n", noAnswer.c_str(), text(2804).c_str());
    } else {
        std::fprintf(stderr, "%s\n", result.c_str());
    }
    return kExitFailure;
}

}  // namespace thermivo::cli
