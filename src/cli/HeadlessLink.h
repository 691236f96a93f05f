#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "data/Recording.h"
#include "link/BridgePorts.h"
#include "link/InstrumentLink.h"
#include "link/LinkController.h"
#include "link/LinkTrace.h"

namespace thermivo::cli {

/// A message sink whose owner waits for the next message or a deadline.
class WaitingSink : public MessageSink {
  public:
    void post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) override;
    /// The oldest message, waiting until `deadline` at most.
    bool next(PostedMessage& out, std::chrono::steady_clock::time_point deadline);

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<PostedMessage> queue_;
};

/// The main window without a window: keeps control texts and states, runs the timers in its own loop,
/// and reports status-line texts and download progress on stderr.
class HeadlessView : public LinkView {
  public:
    void setText(int controlId, const std::string& text) override;
    void setTextFromAnyThread(int controlId, const std::string& text) override;
    std::string text(int controlId) const override;
    void setEnabled(int, bool) override {}
    void setShown(int, bool) override {}
    void setProgress(int controlId, int position) override;
    void startTimer(int timerId, int milliseconds) override;
    void stopTimer(int timerId) override;
    bool askYesNo(const std::string&) override { return true; }  // the command line already said yes
    void redrawIndicator() override {}
    void showHumidityRows(bool) override {}
    void refreshSummary(bool) override {}
    void refreshChart() override {}
    void showMessage(const std::string& text) override;

    /// Status-line texts set since the last call, oldest first.
    std::deque<std::string> takeStatus();
    /// Shows the download's progress for a recording of this many samples (0: none shown). On a terminal
    /// one line redrawn in place: a bar, samples, rate and time left; elsewhere (a log) one plain line per
    /// tenth, so no carriage return ever lands in a file.
    void showProgressOf(int samples);

  private:
    friend class HeadlessSession;
    struct Timer {
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
    };
    mutable std::mutex mutex_;
    std::map<int, std::string> texts_;
    std::deque<std::string> status_;
    std::map<int, Timer> timers_;
    int progressSamples_ = 0;
    bool progressOnTerminal_ = false;
    int lastShown_ = -1;  ///< percent (terminal) or tenth (log) shown last
    std::chrono::steady_clock::time_point progressStart_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

/// The one port a command talks to, as the port table the controller searches.
class SinglePort : public PortDirectory {
  public:
    explicit SinglePort(std::string path) : path_(std::move(path)) {}
    std::vector<int> bridgePorts() override;
    std::string pathOf(int n) override { return n == 1 ? path_ : std::string(); }

  private:
    std::string path_;
};

/// One instrument conversation of the command-line tool: the same LinkController as the window, driven
/// by a small event loop. With --trace, every frame goes to the trace file.
class HeadlessSession {
  public:
    explicit HeadlessSession(const std::string& portPath);
    ~HeadlessSession();

    /// Opens the port and waits for the header; false (with a message on stderr) when it does not answer.
    bool connect();
    /// Runs the loop until `done` holds or the time limit passes; false on timeout.
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds limit);
    /// Status texts set so far, oldest first (consumed).
    std::deque<std::string> takeStatus() { return view_.takeStatus(); }

    Recording& recording() { return *recording_; }
    InstrumentLink& link() { return link_; }
    LinkController& controller() { return controller_; }
    HeadlessView& view() { return view_; }

  private:
    void dispatchOnce(std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<Recording> recording_;
    WaitingSink sink_;
    InstrumentLink link_;
    HeadlessView view_;
    std::string portPath_;
    SinglePort ports_;
    LinkController controller_;
    LinkTrace trace_;
};

}  // namespace thermivo::cli
