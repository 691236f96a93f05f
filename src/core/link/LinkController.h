#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "link/DownloadWatch.h"
#include "link/InstrumentLink.h"
#include "link/LinkView.h"

namespace thermivo {

class RecordingStore;
class HistoryLog;
struct HistoryEntry;

/// The instrument side of the main window: port discovery, connection, status polling, the download with
/// its retries, clock setting and the start of a recording. It owns no window: it talks to one through
/// LinkView, and the window forwards its timer ticks, posted messages and button clicks here.
class LinkController {
  public:
    static constexpr int kReplyTimerMs = 1000;
    static constexpr int kDownloadTimerMs = 1000;
    static constexpr int kPollTimerMs = 4500;
    static constexpr int kRetries = 5;
    static constexpr int kMinReplyWait = 5;
    static constexpr int kDownloadBarMax = 200;
    /// Ticks without a new sample after which a download fails, whatever replies keep coming.
    static constexpr int kStallTicks = DownloadWatch::kNoProgressTicks;

    /// Ticks a download of `count` samples may take at most (see DownloadWatch::limitTicks).
    static int downloadLimitTicks(std::int32_t count);

    LinkController(InstrumentLink& link, LinkView& view, PortDirectory& ports);

    /// Where complete downloads are kept at once, and where Start Record looks for a copy of the
    /// instrument's recording; nullptr (the default) keeps nothing and warns of nothing.
    void setRecordingStore(const RecordingStore* store) { store_ = store; }
    /// Where downloads, clock settings and starts are recorded; nullptr (the default) records nothing.
    void setHistory(HistoryLog* history) { history_ = history; }

    /// The search at the end of the window's initialisation: the highest-numbered bridge port wins.
    void startupSearch();
    /// Arrival (+n) or removal (-n) of a bridge port. Safe from any thread.
    void deviceNotification(int value);

    /// A posted message arrived on the user-interface thread.
    void onMessage(std::uint32_t message, std::int64_t wParam, std::int64_t lParam);
    /// A timer ticked.
    void onTimer(int timerId);

    void onDownloadClicked();
    void onCalibrationClicked();
    void onStartRecordClicked();
    void onConnectClicked();

    int replyCountdown() const { return replyCountdown_; }
    /// True while a download runs: clock set, start and connect are refused until it ends.
    bool downloadBusy() const { return downloadBusy_; }
    /// Where the last complete download was kept, or why it could not be ("" without a store).
    const std::string& keptText() const { return keptText_; }
    /// Whether the last complete download was kept (keptText then says where, else why not).
    bool keptOk() const { return keptOk_; }
    /// The watch of the running (or last) download.
    const DownloadWatch& downloadWatch() const { return watch_; }

    /// Download bar position for a progress message (-1 computed, 1 full, else 0).
    static int downloadBarPosition(std::int64_t lParam, std::int32_t samplesLoaded, std::int32_t sampleCount);
    /// Why a port could not be opened, in the user's language (no device, permission, in use).
    static std::string openFailureText(const std::string& path);
    /// Leading digits of a text as a number; 0 when there are none.
    static int leadingNumber(const std::string& text);

  private:
    void portChange(std::int64_t port);
    void replyTick();
    void downloadTick();
    void pollTick();
    void downloadFailed();
    void downloadComplete();
    void finishDownload();
    void enableInstrumentButtons();
    bool refuseWhileDownloading(int textId);
    void headerDecoded();
    void statusDecoded();
    std::string captionWithState(const std::string& serial, std::int32_t state, int otherTextId) const;
    void enableFileButtons(bool enabled);
    void keepDownload(Recording& rec, HistoryEntry& entry);
    void record(const HistoryEntry& entry);
    std::string startQuestion() const;

    /// What the instrument's last header announced: the recording a new start would erase.
    struct HeldRecording {
        std::string serial;
        std::string startText;
        std::int64_t startTime = 0;
        std::int32_t sampleCount = 0;
    };

    InstrumentLink& link_;
    LinkView& view_;
    PortDirectory& ports_;
    int replyCountdown_ = 0;
    bool downloadBusy_ = false;
    bool startAfterStatus_ = false;  ///< Start Record waits for the status reply it asked for
    DownloadWatch watch_;
    std::string outcomeText_;      ///< the status text a download ended with
    std::string completedSerial_;  ///< serial number of the instrument whose download last completed
    const RecordingStore* store_ = nullptr;
    HistoryLog* history_ = nullptr;
    // What the clock read before a Set Clock request, and the time the request sent.
    std::int64_t clockBefore_ = 0;
    std::int64_t clockSent_ = 0;
    HeldRecording held_;
    std::string keptText_;  ///< where the last complete download was kept, or why it could not be
    bool keptOk_ = false;
    bool storeProblemTold_ = false;
    std::string storeProblem_;  ///< a folder problem to tell once the lock is let go
};

}  // namespace thermivo
