// Whole downloads as the window runs them: the controller with its one-second download tick, the real serial
// code, and the virtual instrument on a pseudo-terminal. The paced run carries 960 bytes per second, as the
// 9600-baud line does; "over_line_s" is the time beyond what its bytes need. The unpaced run is a full
// instrument as fast as the terminal goes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/UiText.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "link/LinkController.h"
#include "sim/PtyInstrument.h"

namespace {

using namespace thermivo;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class TextView : public LinkView {
  public:
    void setText(int id, const std::string& t) override {
        std::lock_guard lock(mutex_);
        texts_[id] = t;
    }
    void setTextFromAnyThread(int id, const std::string& t) override { setText(id, t); }
    std::string text(int id) const override {
        std::lock_guard lock(mutex_);
        const auto it = texts_.find(id);
        return it == texts_.end() ? std::string() : it->second;
    }
    void setEnabled(int, bool) override {}
    void setShown(int, bool) override {}
    void setProgress(int, int) override {}
    void startTimer(int, int) override {}
    void stopTimer(int) override {}
    bool askYesNo(const std::string&) override { return true; }
    void redrawIndicator() override {}
    void showHumidityRows(bool) override {}
    void refreshSummary(bool) override {}
    void refreshChart() override {}

  private:
    mutable std::mutex mutex_;
    std::map<int, std::string> texts_;
};

class OnePort : public PortDirectory {
  public:
    explicit OnePort(std::string path) : path_(std::move(path)) {}
    std::vector<int> bridgePorts() override { return {1}; }
    std::string pathOf(int n) override { return n == 1 ? path_ : std::string(); }

  private:
    std::string path_;
};

struct Timing {
    double seconds = -1;    ///< from the Download click to the tick that reports the download complete
    double lastBlock = -1;  ///< from the click to the arrival of the last sample
};

Timing timedDownload(int samples, bool paced) {
    Timing timing;
    SimConfig config;
    config.samples = simulatedCurve(samples, 3);
    PtyInstrument pty(config, !paced);
    if (!pty.start()) return timing;
    auto rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link(*rec, sink);
    TextView view;
    OnePort ports(pty.path());
    LinkController controller(link, view, ports);
    auto pump = [&] {
        for (const auto& m : sink.drain()) controller.onMessage(m.message, m.wParam, m.lParam);
    };
    controller.startupSearch();
    pump();
    const auto connectBy = Clock::now() + 5s;
    while (link.pendingCode.load() != (PendingHeader | kAnswered) && Clock::now() < connectBy) {
        std::this_thread::sleep_for(5ms);
        pump();
    }
    controller.onTimer(TIMER_REPLY);
    if (!link.instrumentConnected.load()) return timing;
    const auto started = Clock::now();
    controller.onDownloadClicked();
    auto due = started;
    for (;;) {
        due += std::chrono::milliseconds(LinkController::kDownloadTimerMs);
        while (Clock::now() < due) {
            std::this_thread::sleep_for(5ms);
            if (timing.lastBlock >= 0) continue;
            auto lock = link.lockRecording();
            if (rec->samplesLoaded >= samples)
                timing.lastBlock = std::chrono::duration<double>(Clock::now() - started).count();
        }
        pump();
        controller.onTimer(TIMER_DOWNLOAD);
        const std::string status = view.text(IDC_STATUS);
        if (status == text(28)) break;
        if (status == text(141)) return timing;
    }
    if (rec->samplesLoaded == samples)
        timing.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    link.closePort();
    return timing;
}

void BM_PacedDownload(benchmark::State& state) {
    const int samples = static_cast<int>(state.range(0));
    const double lineSeconds = (47.0 + (samples + 15) / 16 * 42.0) / 960.0;
    Timing t;
    for (auto _ : state) {
        t = timedDownload(samples, true);
        if (t.seconds < 0) state.SkipWithError("download failed");
        state.SetIterationTime(t.seconds);
    }
    // The pseudo-terminal's pacing oversleeps on a busy machine, so the instrument itself may need longer
    // than the line: "after_last_s" is the program's own share, from the last sample to the report.
    state.counters["line_s"] = lineSeconds;
    state.counters["over_line_s"] = t.seconds - lineSeconds;
    state.counters["last_sample_s"] = t.lastBlock;
    state.counters["after_last_s"] = t.seconds - t.lastBlock;
}
BENCHMARK(BM_PacedDownload)->Arg(4000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_UnpacedDownload(benchmark::State& state) {
    const int samples = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const Timing t = timedDownload(samples, false);
        if (t.seconds < 0) state.SkipWithError("download failed");
        state.SetIterationTime(t.seconds);
    }
}
BENCHMARK(BM_UnpacedDownload)->Arg(60000)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
