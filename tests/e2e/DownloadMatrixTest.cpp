// The window's download (LinkController over the real serial code) against the virtual instrument on a
// pseudo-terminal, for every way the instrument may answer a resend, around the 16-bit address wrap.
// Every run must either end complete with exactly the instrument's samples, or fail keeping only true
// samples; the table printed at the end says which runs complete.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "link/LinkController.h"
#include "link/Protocol.h"
#include "sim/PtyInstrument.h"

namespace thermivo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// The window without a window: texts only; the test runs the timers.
class QuietView : public LinkView {
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

struct Outcome {
    bool ended = false;
    bool complete = false;
    int loaded = 0;
    int wrong = 0;
    double seconds = 0;
};

/// One download. The controller's one-second tick runs every `tick`: the instrument streams unpaced, so
/// its whole recording passes in about two seconds, and a look every three ticks still finds the line
/// quiet only once the stream has ended.
Outcome download(const SimConfig& config, std::chrono::milliseconds tick) {
    Outcome out;
    PtyInstrument pty(config, true);
    if (!pty.start()) {
        ADD_FAILURE() << pty.error();
        return out;
    }
    auto rec = std::make_unique<Recording>();
    MessageQueue sink;
    InstrumentLink link(*rec, sink);
    QuietView view;
    OnePort ports(pty.path());
    LinkController controller(link, view, ports);
    auto pump = [&] {
        for (const auto& m : sink.drain()) controller.onMessage(m.message, m.wParam, m.lParam);
    };
    controller.startupSearch();
    pump();
    const auto connectBy = Clock::now() + 5s;
    while (link.pendingCode.load() != (PendingHeader | kAnswered) && Clock::now() < connectBy) {
        std::this_thread::sleep_for(10ms);
        pump();
    }
    controller.onTimer(TIMER_REPLY);
    if (!link.instrumentConnected.load()) {
        ADD_FAILURE() << "the instrument did not answer";
        return out;
    }
    const auto started = Clock::now();
    controller.onDownloadClicked();
    const int limit = LinkController::downloadLimitTicks(static_cast<int>(config.samples.size())) + 5;
    for (int t = 0; t < limit && !out.ended; ++t) {
        std::this_thread::sleep_for(tick);
        pump();
        controller.onTimer(TIMER_DOWNLOAD);
        pump();
        out.ended = !controller.downloadBusy();
        out.complete = out.ended && view.text(IDC_STATUS) == text(28);
    }
    out.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    link.closePort();
    out.loaded = rec->samplesLoaded;
    // A sample counts as wrong when it differs from the instrument's; below the loaded count every sample
    // must be there (or, after a failure, marked as missing), above it only true samples may have been
    // stored ahead.
    for (std::size_t i = 0; i < config.samples.size(); ++i) {
        const auto raw = protocol::encodeValue(config.samples[i]);
        const float truth = protocol::decodeValue(raw[0], raw[1]);
        const float v = rec->temperature[i];
        const bool marked = !out.complete && v == Recording::kNoValue;
        if (v != truth && !marked && (static_cast<int>(i) < out.loaded || v != 0.0f)) ++out.wrong;
    }
    return out;
}

const char* name(SimResend r) {
    switch (r) {
        case SimResend::Nearest:
            return "nearest";
        case SimResend::Literal:
            return "literal";
        case SimResend::RestartAtZero:
            return "restart";
    }
    return "?";
}

struct Faults {
    const char* label;
    std::set<int> drop, corrupt, repeat;
};

TEST(DownloadMatrix, EveryRunSavesExactlyOrFailsHonestly) {
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
    // Each of blocks 2047, 2048 and 2049 is dropped, spoiled and repeated once over the first three runs.
    const Faults runs[] = {
        {"drop 2047, spoil 2049, repeat 2048", {2047}, {2049}, {2048}},
        {"drop 2048, spoil 2047, repeat 2049", {2048}, {2047}, {2049}},
        {"drop 2049, spoil 2048, repeat 2047", {2049}, {2048}, {2047}},
        {"spoil 0", {}, {0}, {}},
    };
    std::string table;
    for (const SimResend resend : {SimResend::Nearest, SimResend::Literal, SimResend::RestartAtZero}) {
        for (const int count : {33000, 60000}) {
            for (const Faults& f : runs) {
                SimConfig c;
                c.samples = simulatedCurve(count, static_cast<std::uint32_t>(count + 1));
                c.resend = resend;
                c.aheadBlocks = 4000;  // the whole stream goes out before a resend is read
                c.faults.dropBlocks = f.drop;
                c.faults.corruptBlocks = f.corrupt;
                c.faults.duplicateBlocks = f.repeat;
                const Outcome o = download(c, 200ms);
                const std::string what =
                    std::string(name(resend)) + " " + std::to_string(count) + " " + f.label;
                EXPECT_TRUE(o.ended) << what;
                EXPECT_EQ(o.wrong, 0) << what;
                if (o.complete) {
                    EXPECT_EQ(o.loaded, count) << what;
                }
                // Asked again for block 0, an instrument that answers with the sample of that address nearest
                // to its stream, which has ended, sends block 2048: the samples from block 0 on cannot be had
                // from it. Every other run completes.
                const bool cannot = resend == SimResend::Nearest && f.corrupt.count(0) != 0;
                EXPECT_EQ(o.complete, !cannot) << what;
                char line[160];
                std::snprintf(line, sizeof line, "%-8s %5d  %-36s %-9s %5d loaded  %5.1f s\n", name(resend),
                              count, f.label,
                              o.complete ? "complete"
                              : o.ended  ? "failed"
                                         : "RUNNING",
                              o.loaded, o.seconds);
                table += line;
            }
        }
    }
    std::printf("%s", table.c_str());
}

}  // namespace
}  // namespace thermivo
