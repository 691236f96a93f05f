#include "link/LinkController.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

namespace thermivo {

namespace {

constexpr int kTextConnected = 3;
constexpr int kTextDisconnected = 4;
constexpr int kTextDownloading = 26;
constexpr int kTextNoAnswer = 27;
constexpr int kTextDownloadDone = 28;
constexpr int kTextNotStarted = 76;
constexpr int kTextRecording = 77;
constexpr int kTextStopped = 78;
constexpr int kTextSureToStart = 80;
constexpr int kTextClockSet = 131;
constexpr int kTextClockFailed = 132;
constexpr int kTextDownloadFailed = 141;
constexpr int kTextLinking = 142;
constexpr int kTextSureToDownload = 148;
constexpr int kTextBadInterval = 149;
constexpr int kTextLowBattery = 150;
constexpr int kMinBatteryPercent = 20;
constexpr int kTextNeverDownloaded = 2050;
constexpr int kTextHeldRecording = 2051;
constexpr int kTextStartErases = 2052;
constexpr int kTextCopyKept = 2053;
constexpr int kTextCopyFailed = 2054;
constexpr int kTextSamplesArrived = 2056;
constexpr int kTextNoSamples = 2090;
constexpr int kTextBusyClock = 2420;
constexpr int kTextBusyStart = 2421;
constexpr int kTextBusyConnect = 2423;
constexpr int kTextBatteryFirst = 2424;
constexpr int kTextStoreFailed = 2428;

// Why a bridge port could not be opened: texts of this program beyond the instrument's own table.
struct OpenFailureText {
    const char* chinese;
    const char* english;
};
constexpr OpenFailureText kPermissionDenied{
    " 无法打开记录仪端口 %s：权限不足。请将当前用户加入 dialout 组，或安装 udev 规则（cmake "
    "--install）后重新插入记录仪。",
    " Cannot open the instrument port %s: permission denied. Add your user to the 'dialout' group, or "
    "install "
    "the udev rule (cmake --install), then plug the instrument in again."};
constexpr OpenFailureText kNoDevice{" 无法打开记录仪端口 %s：设备不存在。",
                                    " Cannot open the instrument port %s: no such device."};
constexpr OpenFailureText kInUse{" 无法打开记录仪端口 %s：端口正被其他程序占用。",
                                 " Cannot open the instrument port %s: it is in use by another program."};

std::string localized(const OpenFailureText& t, const std::string& path) {
    const bool chinese = AppSettings::instance().languageId == kLanguageChinesePrc;
    std::string s = chinese ? t.chinese : t.english;
    const auto at = s.find("%s");
    if (at != std::string::npos) s.replace(at, 2, path);
    return s;
}

bool hasAnsweredBit(std::int32_t code) {
    return (code & kAnswered) != 0;
}

}  // namespace

LinkController::LinkController(InstrumentLink& link, LinkView& view, PortDirectory& ports)
    : link_(link), view_(view), ports_(ports) {}

int LinkController::downloadBarPosition(std::int64_t lParam, std::int32_t samplesLoaded,
                                        std::int32_t sampleCount) {
    if (lParam == 1) return kDownloadBarMax;
    if (lParam != -1 || sampleCount <= 0) return 0;
    const float quotient = static_cast<float>(samplesLoaded) / static_cast<float>(sampleCount);
    return static_cast<int>(5.0f + 195.0f * quotient);
}

int LinkController::downloadLimitTicks(std::int32_t count) {
    return DownloadWatch::limitTicks(count);
}

int LinkController::leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    int v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > 100000) break;  // far beyond any interval; avoids overflow on long input
    }
    return v;
}

void LinkController::startupSearch() {
    link_.instrumentConnected.store(false);
    std::string caption;
    link_.closePort();
    int found = 0;
    for (const int n : ports_.bridgePorts()) {
        if (n < 1 || n > 255) continue;
        caption = text(kTextConnected);
        link_.instrumentConnected.store(true);
        link_.portNumber.store(n);
        found = std::max(found, n);
    }
    if (found > 0) {
        link_.instrumentConnected.store(false);
        link_.sink().post(WM_PORT_CHANGE, 0, found);
    }
    view_.setText(IDC_CONNECT, caption);
}

void LinkController::deviceNotification(int value) {
    if (value > 0) {
        link_.sink().post(WM_PORT_CHANGE, 0, value);
    } else if (value < 0) {
        // Another bridge leaving must not tear down the link to ours.
        const int current = link_.portNumber.load();
        if (current > 0 && -value != current) return;
        view_.setTextFromAnyThread(IDC_CONNECT, text(kTextDisconnected));
        link_.sink().post(WM_PORT_CHANGE, 0, value);
        link_.instrumentConnected.store(false);
    }
    view_.setTextFromAnyThread(IDC_CLOCK_TEXT, std::string(46, ' ') + "0");
}

void LinkController::onMessage(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
    switch (message) {
        case WM_DOWNLOAD_PROGRESS: {
            std::int32_t loaded = 0, count = 0;
            {
                auto lock = link_.lockRecording();
                loaded = link_.recording().samplesLoaded;
                count = link_.recording().sampleCount;
            }
            view_.setProgress(IDC_DOWNLOAD_BAR, downloadBarPosition(lParam, loaded, count));
            break;
        }
        case WM_PORT_CHANGE:
            portChange(lParam);
            break;
        case WM_HEADER_DECODED:
            headerDecoded();
            break;
        case WM_REPLY_WAIT:
            replyCountdown_ = std::max(static_cast<int>(lParam), kMinReplyWait);
            view_.startTimer(TIMER_REPLY, kReplyTimerMs);
            break;
        case WM_CALIBRATION_ENABLE:
            if (!downloadBusy_) view_.setEnabled(IDC_CALIBRATION, wParam == 1);
            break;
        case WM_PORT_LOST:
            view_.setEnabled(IDC_CALIBRATION, false);
            view_.setEnabled(IDC_DOWNLOAD, true);
            view_.setEnabled(IDC_PRINT, true);
            view_.setText(IDC_CONNECT, link_.disconnectText());
            break;
        case WM_STATUS_DECODED:
            statusDecoded();
            break;
        case WM_DATA_INDICATOR:
            view_.setProgress(IDC_DATA_BAR, lParam == 1 ? 100 : 0);
            break;
        case WM_LINK_INDICATOR:
            view_.setProgress(IDC_LINK_BAR, static_cast<int>(lParam));
            break;
        default:
            break;
    }
}

void LinkController::portChange(std::int64_t port) {
    view_.setEnabled(IDC_CALIBRATION, false);
    view_.setEnabled(IDC_START_RECORD, false);
    if (port <= 0) {
        // How the last download ended (an unplug may follow its last block, or cut it short) stays said
        // until the next action.
        if (outcomeText_.empty() || view_.text(IDC_STATUS) != outcomeText_) view_.setText(IDC_STATUS, "");
        // Release the old device so a re-plugged instrument can be opened again.
        link_.closePort();
        link_.portNumber.store(0);
        link_.sink().post(WM_LINK_INDICATOR, 0, 0);
        view_.setProgress(IDC_DOWNLOAD_BAR, 0);
        view_.setProgress(IDC_DATA_BAR, 0);
        return;
    }
    const int n = static_cast<int>(port);
    link_.sink().post(WM_LINK_INDICATOR, 0, 30);
    view_.setText(IDC_CONNECT, text(kTextLinking));
    {
        auto lock = link_.lockRecording();
        link_.recording().dataFlags = 0;
    }
    const std::string path = ports_.pathOf(n);
    // openPort closes a port that is still open first, so a second bridge replaces the first one.
    if (path.empty() || !link_.openPort(n, path)) {
        view_.setText(IDC_CONNECT, "");
        link_.sink().post(WM_LINK_INDICATOR, 0, 0);
        if (!path.empty()) view_.setText(IDC_STATUS, openFailureText(path));
        return;
    }
    {
        auto lock = link_.lockRecording();
        link_.recording().dataFlags = 0;
        link_.recording().kind = KindNone;
    }
    link_.portNumber.store(n);
    link_.headerRequest(false);
    link_.downloadMode.store(0);
    link_.sink().post(WM_LINK_INDICATOR, 0, 100);
}

std::string LinkController::openFailureText(const std::string& path) {
    if (::access(path.c_str(), R_OK | W_OK) != 0) {
        if (errno == EACCES) return localized(kPermissionDenied, path);
        if (errno == ENOENT || errno == ENOTDIR) return localized(kNoDevice, path);
    }
    return localized(kInUse, path);
}

std::string LinkController::captionWithState(const std::string& serial, std::int32_t state,
                                             int otherTextId) const {
    const int id = state == 0 ? kTextNotStarted : state == 1 ? kTextRecording : otherTextId;
    return serial + "\n" + text(id);
}

void LinkController::onTimer(int timerId) {
    switch (timerId) {
        case TIMER_REPLY:
            replyTick();
            break;
        case TIMER_DOWNLOAD:
            downloadTick();
            break;
        case TIMER_POLL:
            pollTick();
            break;
        default:
            break;  // other timers (id 2 included) have no effect here
    }
}

void LinkController::replyTick() {
    std::string message;
    --replyCountdown_;
    const bool downloading = link_.downloadMode.load() == kDownloadMode;
    if (!downloading) {
        const std::int32_t code = link_.pendingCode.load();
        switch (code) {
            case PendingClockSet:
                if (replyCountdown_ == 0) message = text(kTextClockFailed);
                break;
            case PendingClockSet | kAnswered: {
                replyCountdown_ = 0;
                message = text(kTextClockSet);
                HistoryEntry entry;
                entry.event = HistoryEvent::ClockSet;
                {
                    auto lock = link_.lockRecording();
                    entry.serial = link_.recording().serialText();
                }
                entry.details = {{"old", clockBefore_ != 0 ? historyUtcText(clockBefore_) : "unknown"},
                                 {"new", historyUtcText(clockSent_)}};
                record(entry);
                break;
            }
            case PendingHeader | kAnswered: {
                replyCountdown_ = 0;
                std::string caption;
                {
                    auto lock = link_.lockRecording();
                    Recording& rec = link_.recording();
                    caption = captionWithState(rec.serialText(), rec.instrumentState, kTextConnected);
                    rec.samplesLoaded = 0;
                }
                view_.setText(IDC_CONNECT, caption);
                link_.instrumentConnected.store(true);
                view_.startTimer(TIMER_POLL, kPollTimerMs);
                break;
            }
            case PendingStart | kAnswered: {
                replyCountdown_ = 0;
                held_.sampleCount = 0;  // the new recording replaced the old one
                message = text(kTextRecording);
                view_.setEnabled(IDC_START_RECORD, true);
                HistoryEntry entry;
                entry.event = HistoryEvent::RecordingStarted;
                {
                    auto lock = link_.lockRecording();
                    entry.serial = link_.recording().serialText();
                    entry.details = {
                        {"interval", std::to_string(link_.recording().startIntervalMinutes) + " min"}};
                }
                record(entry);
                break;
            }
            default:
                if (!hasAnsweredBit(code) && replyCountdown_ == 0) {
                    message = text(kTextNoAnswer);
                    link_.instrumentConnected.store(false);
                    view_.setEnabled(IDC_CALIBRATION, false);
                    view_.setEnabled(IDC_DOWNLOAD, true);
                    view_.setEnabled(IDC_PRINT, true);
                }
                break;
        }
        if (!message.empty()) view_.setText(IDC_STATUS, message);
        view_.setProgress(IDC_DOWNLOAD_BAR, 0);
    }
    if (replyCountdown_ <= 0) {
        replyCountdown_ = 0;
        view_.stopTimer(TIMER_REPLY);
        if (link_.downloadMode.load() != kDownloadMode) link_.pendingCode.store(PendingNone);
    }
}

void LinkController::onDownloadClicked() {
    if (downloadBusy_ || !link_.instrumentConnected.load() || !link_.port().isOpen()) return;
    if (!view_.askYesNo(text(kTextSureToDownload))) return;
    link_.downloadMode.store(kDownloadMode);
    std::int32_t count = 0;
    {
        // Cleared before the request goes out, so the first block cannot be counted twice.
        auto lock = link_.lockRecording();
        link_.recording().samplesLoaded = 0;
        count = link_.recording().sampleCount;
        link_.decoder().resetDownload(count);
        link_.decoder().planFirstRequest(!completedSerial_.empty() &&
                                         link_.recording().serialText() == completedSerial_);
    }
    outcomeText_.clear();
    watch_.start(count);
    link_.headerRequest(true);
    downloadBusy_ = true;
    // The recording being read must not be erased, nor the link torn down, until the download ends.
    for (const int id : {IDC_DOWNLOAD, IDC_PRINT, IDC_START_RECORD, IDC_CALIBRATION, IDC_CONNECT})
        view_.setEnabled(id, false);
    enableFileButtons(false);
    view_.startTimer(TIMER_DOWNLOAD, kDownloadTimerMs);
    link_.retryCounter.store(kRetries);
    view_.setText(IDC_STATUS, text(kTextDownloading));
    link_.sink().post(WM_DOWNLOAD_PROGRESS, 0, 0);
}

void LinkController::downloadTick() {
    // A vanished device is noticed within a tick, not only when the next request would go out.
    const bool linkUp = link_.instrumentConnected.load() && link_.downloadMode.load() == kDownloadMode;
    DownloadWatch::Look look;
    {
        auto lock = link_.lockRecording();
        look.loaded = link_.recording().samplesLoaded;
        look.count = link_.recording().sampleCount;
        look.state = link_.decoder().downloadState();
        look.placeable = link_.decoder().placeableStart(look.state.firstGap);
        look.placeableUnique = link_.decoder().addressIsUnique(look.placeable);
    }
    const std::int32_t code = link_.pendingCode.load();
    look.headerAnswered = (code & ~kAnswered) != PendingHeader;
    look.blockPending = (code & PendingBlock) != 0;
    // Every sample arrived: that is complete, whatever the port does afterwards.
    if (look.headerAnswered && look.loaded >= look.count) {
        downloadComplete();
        return;
    }
    if (!linkUp || !link_.portPresenceCheck()) {
        downloadFailed();
        return;
    }
    link_.sink().post(WM_DOWNLOAD_PROGRESS, 0, -1);
    switch (watch_.tick(look)) {
        case DownloadWatch::Action::Wait:
            return;
        case DownloadWatch::Action::Complete:
            downloadComplete();
            return;
        case DownloadWatch::Action::Fail:
            downloadFailed();
            return;
        case DownloadWatch::Action::AskHeader:
            link_.headerRequest(false);
            return;
        case DownloadWatch::Action::AskGap: {
            std::vector<int> plan;
            {
                auto lock = link_.lockRecording();
                plan = link_.decoder().requestPlan(look.state.firstGap);
            }
            const int first = plan.front();
            plan.erase(plan.begin());
            link_.requestBlocksThen(first, true, std::move(plan));
            return;
        }
        case DownloadWatch::Action::AskAhead:
            link_.requestBlocksFrom(look.placeable, false);
            return;
    }
}

void LinkController::downloadComplete() {
    view_.stopTimer(TIMER_REPLY);
    view_.stopTimer(TIMER_DOWNLOAD);
    watch_.stop();
    std::int32_t count = 0;
    HistoryEntry entry;
    {
        auto lock = link_.lockRecording();
        Recording& rec = link_.recording();
        rec.samplesLoaded = std::clamp(rec.sampleCount, 0, Recording::kCapacity);
        count = rec.sampleCount;
        if (count <= 0) {
            // Nothing to show: no curve, no summary of samples that never existed.
            rec.samplesLoaded = 0;
            rec.dataFlags &= ~Recording::kSamplesPresent;
        } else {
            rec.buildSampleTimes();
            keepDownload(rec, entry);
            completedSerial_ = rec.serialText();
        }
        view_.redrawIndicator();
        view_.refreshSummary(count > 0);
        view_.refreshChart();
    }
    // Outside the lock: a log that cannot be written may ask the window to say so.
    if (count > 0) record(entry);
    finishDownload();
    view_.setText(IDC_STATUS, text(count > 0 ? kTextDownloadDone : kTextNoSamples));
    outcomeText_ = view_.text(IDC_STATUS);
    if (count > 0 && !keptText_.empty()) view_.setToolTip(IDC_STATUS, keptText_);
    link_.sink().post(WM_DOWNLOAD_PROGRESS, 0, count > 0 ? 1 : 0);
    if (!storeProblem_.empty()) view_.showMessage(std::exchange(storeProblem_, std::string()));
}

void LinkController::finishDownload() {
    downloadBusy_ = false;
    watch_.stop();
    link_.pendingCode.store(PendingNone);
    link_.downloadMode.store(0);
    view_.setEnabled(IDC_DOWNLOAD, true);
    view_.setEnabled(IDC_PRINT, true);
    view_.setEnabled(IDC_CONNECT, true);
    enableFileButtons(true);
    enableInstrumentButtons();
    view_.redrawIndicator();
}

void LinkController::enableInstrumentButtons() {
    std::int32_t kind = 0, state = 0;
    {
        auto lock = link_.lockRecording();
        kind = link_.recording().kind;
        state = link_.recording().instrumentState;
    }
    const bool usable = link_.instrumentConnected.load();
    view_.setEnabled(IDC_CALIBRATION, usable && kind == KindTemp);
    view_.setEnabled(IDC_START_RECORD, usable && kind == KindTemp && state != 1);
}

void LinkController::downloadFailed() {
    view_.stopTimer(TIMER_DOWNLOAD);
    view_.stopTimer(TIMER_REPLY);
    finishDownload();
    link_.sink().post(WM_DOWNLOAD_PROGRESS, 0, 0);
    std::int32_t loaded = 0, count = 0;
    bool present = false;
    HistoryEntry entry;
    {
        auto lock = link_.lockRecording();
        Recording& rec = link_.recording();
        link_.decoder().markMissing();
        loaded = rec.arrivedSamples();
        count = rec.sampleCount;
        present = rec.hasSamples();
        if (present) rec.buildSampleTimes();
        if (history_ != nullptr)
            entry =
                downloadEntry(loaded > 0 ? HistoryEvent::DownloadPartial : HistoryEvent::DownloadFailed, rec);
        // The samples that arrived are shown as they are, so the user sees what a Save would write.
        view_.refreshSummary(present);
        view_.refreshChart();
    }
    // Outside the lock: a log that cannot be written may ask the window to say so.
    record(entry);
    if (present && loaded < count) {
        // Said in the status line itself, until the next action replaces it.
        view_.setText(IDC_STATUS,
                      textWith(kTextSamplesArrived, {std::to_string(loaded), std::to_string(count)}));
        view_.setToolTip(IDC_STATUS, text(kTextDownloadFailed));
        outcomeText_ = view_.text(IDC_STATUS);
    } else {
        view_.setText(IDC_STATUS, text(kTextDownloadFailed));
    }
}

void LinkController::enableFileButtons(bool enabled) {
    for (const int id : {IDC_SAVE, IDC_OPEN, IDC_CELSIUS, IDC_FAHRENHEIT}) view_.setEnabled(id, enabled);
}

void LinkController::keepDownload(Recording& rec, HistoryEntry& entry) {
    keptText_.clear();
    keptOk_ = false;
    if (history_ != nullptr) entry = downloadEntry(HistoryEvent::DownloadComplete, rec);
    if (store_ == nullptr || rec.sampleCount <= 0) return;
    // Written before the lock is let go: nothing (a Connect, a replug) can clear the samples first.
    const RecordingStore::Kept kept = keepCompleteDownload(*store_, rec);
    keptOk_ = kept.ok;
    keptText_ =
        kept.ok ? textWith(kTextCopyKept, {kept.path}) : textWith(kTextCopyFailed, {kept.path, kept.error});
    // A folder that takes no file is said once a run in a box of its own, not only in a tooltip.
    if (!kept.ok && !storeProblemTold_) {
        storeProblemTold_ = true;
        storeProblem_ = textWith(kTextStoreFailed, {store_->root(), kept.error});
    }
    if (history_ == nullptr) return;
    entry.details.emplace_back("original", kept.path);
    if (!kept.ok) entry.details.emplace_back("not-kept", kept.error);
    // The original is named by the file as it lies on disk: verify finds it by this digest.
    if (const auto sha = kept.ok ? sha256HexOfFile(kept.path) : std::nullopt) entry.fileSha256 = *sha;
}

void LinkController::record(const HistoryEntry& entry) {
    if (history_ != nullptr) history_->record(entry);
}

std::string LinkController::startQuestion() const {
    if (store_ == nullptr || held_.sampleCount <= 0 ||
        store_->holdsCopy(held_.serial, held_.startTime, held_.sampleCount))
        return {};
    return text(kTextNeverDownloaded) + "\n" +
           textWith(kTextHeldRecording, {held_.serial, held_.startText, std::to_string(held_.sampleCount)}) +
           "\n" + text(kTextStartErases) + "\n" + text(kTextSureToStart);
}

void LinkController::pollTick() {
    if (!link_.instrumentConnected.load()) {
        view_.stopTimer(TIMER_POLL);
        return;
    }
    if (link_.downloadMode.load() != kDownloadMode && link_.pendingCode.load() == PendingNone &&
        !downloadBusy_)
        link_.statusRequest();
}

bool LinkController::refuseWhileDownloading(int textId) {
    if (!downloadBusy_) return false;
    view_.setText(IDC_STATUS, text(textId));
    return true;
}

void LinkController::onCalibrationClicked() {
    if (refuseWhileDownloading(kTextBusyClock)) return;
    if (!link_.instrumentConnected.load() || link_.pendingCode.load() != PendingNone) return;
    view_.setText(IDC_STATUS, std::string(54, ' '));
    {
        auto lock = link_.lockRecording();
        clockBefore_ = link_.recording().instrumentClock;
    }
    clockSent_ = nowSeconds();
    link_.clockSetRequest();
}

void LinkController::onStartRecordClicked() {
    startAfterStatus_ = false;
    if (refuseWhileDownloading(kTextBusyStart)) return;
    const int minutes = leadingNumber(view_.text(IDC_MINUTES));
    std::int32_t state = 0, battery = 0;
    bool batteryKnown = false;
    {
        auto lock = link_.lockRecording();
        state = link_.recording().instrumentState;
        battery = link_.recording().batteryPercent;
        batteryKnown = link_.recording().batteryValid;
    }
    if (state == 1) return;
    if (minutes < 1 || minutes > 99) {
        view_.setText(IDC_STATUS, text(kTextBadInterval));
        return;
    }
    if (!batteryKnown) {
        // Right after connecting no status reply has come yet: ask for one and start once it is here.
        if (!link_.instrumentConnected.load()) return;
        startAfterStatus_ = true;
        view_.setText(IDC_STATUS, text(kTextBatteryFirst));
        link_.statusRequest();
        return;
    }
    if (battery < kMinBatteryPercent) {
        view_.setText(IDC_STATUS, text(kTextLowBattery));
        return;
    }
    const std::string warning = startQuestion();
    if (warning.empty() ? !view_.askYesNo(text(kTextSureToStart)) : !view_.askYesNoDefaultNo(warning)) return;
    {
        auto lock = link_.lockRecording();
        link_.recording().startIntervalMinutes = minutes;
    }
    view_.setEnabled(IDC_START_RECORD, false);
    link_.startRequest(static_cast<std::uint8_t>(minutes));
}

void LinkController::onConnectClicked() {
    if (refuseWhileDownloading(kTextBusyConnect)) return;
    if (!link_.instrumentConnected.load()) return;
    link_.closePort();
    portChange(link_.portNumber.load());
    view_.setText(IDC_STATUS, std::string(49, ' '));
}

void LinkController::headerDecoded() {
    std::int32_t kind = 0, state = 0;
    {
        auto lock = link_.lockRecording();
        const Recording& rec = link_.recording();
        kind = rec.kind;
        state = rec.instrumentState;
        held_ = {rec.serialText(), rec.values[Recording::ValStart], rec.startTime, rec.sampleCount};
        view_.redrawIndicator();
        view_.showHumidityRows(kind == KindTempHumi);
        view_.refreshSummary(true);
        view_.refreshChart();
    }
    view_.setProgress(IDC_BATTERY_BAR, 0);
    const bool canStart = kind == KindTemp;
    view_.setShown(IDC_START_RECORD, canStart);
    view_.setShown(IDC_MINUTES, canStart);
    view_.setShown(IDC_MINUTES_FRAME, canStart);
    view_.setShown(IDC_MINUTES_LABEL, canStart);
    if (canStart && !downloadBusy_) {
        view_.setEnabled(IDC_START_RECORD, state != 1);
        view_.setEnabled(IDC_CALIBRATION, true);
    }
}

void LinkController::statusDecoded() {
    std::int64_t clock = 0;
    std::int32_t battery = 0, state = 0, kind = 0;
    std::string serial;
    {
        auto lock = link_.lockRecording();
        const Recording& rec = link_.recording();
        clock = rec.instrumentClock;
        battery = rec.batteryPercent;
        state = rec.instrumentState;
        kind = rec.kind;
        serial = rec.serialText();
    }
    if (clock == 0) return;
    std::string clockText = "0-0-0 -1:-1:-1";
    if (const auto t = toLocal(clock))
        clockText =
            format("%d-%d-%d %.2d:%.2d:%.2d", t->year, t->month, t->day, t->hour, t->minute, t->second);
    view_.setShown(IDC_CLOCK_TEXT, true);
    view_.setText(IDC_CLOCK_TEXT, clockText + std::string(20, ' '));
    view_.setProgress(IDC_BATTERY_BAR, battery);
    view_.setText(IDC_CONNECT, captionWithState(serial, state, kTextStopped));
    if (downloadBusy_) return;
    if (state == 1) {
        view_.setEnabled(IDC_CALIBRATION, false);
        if (kind == KindTemp) view_.setEnabled(IDC_START_RECORD, false);
    } else {
        view_.setEnabled(IDC_CALIBRATION, state == 0);
        if (kind == KindTemp) {
            view_.setEnabled(IDC_START_RECORD, true);
            view_.setEnabled(IDC_CALIBRATION, true);
        }
    }
    if (startAfterStatus_) {
        startAfterStatus_ = false;
        onStartRecordClicked();
    }
}

}  // namespace thermivo
