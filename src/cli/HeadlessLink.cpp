#include "HeadlessLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "app/Format.h"
#include "app/UiText.h"

namespace thermivo::cli {

using Clock = std::chrono::steady_clock;

void WaitingSink::post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({message, wParam, lParam});
    }
    posted_.notify_one();
}

bool WaitingSink::next(PostedMessage& out, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return false;
    out = queue_.front();
    queue_.pop_front();
    return true;
}

void HeadlessView::setText(int controlId, const std::string& t) {
    std::lock_guard lock(mutex_);
    texts_[controlId] = t;
    if (controlId == IDC_STATUS) status_.push_back(t);
}

void HeadlessView::setTextFromAnyThread(int controlId, const std::string& t) {
    setText(controlId, t);
}

std::string HeadlessView::text(int controlId) const {
    std::lock_guard lock(mutex_);
    const auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
}

void HeadlessView::showProgressOf(int samples) {
    progressSamples_ = samples;
    progressOnTerminal_ = ::isatty(STDERR_FILENO) == 1;
    progressStart_ = Clock::now();
    lastShown_ = -1;
}

void HeadlessView::setProgress(int controlId, int position) {
    if (controlId != IDC_DOWNLOAD_BAR || progressSamples_ <= 0 || position <= 0) return;
    // The bar starts at a small offset so that it shows at once; the samples come from the rest of it.
    const int max = LinkController::kDownloadBarMax;
    const int empty = LinkController::downloadBarPosition(-1, 0, 1);
    position = std::min(position, max);
    const long long samples = position >= max ? progressSamples_
                                              : static_cast<long long>(std::max(position - empty, 0)) *
                                                    progressSamples_ / (max - empty);
    const int percent = static_cast<int>(samples * 100 / progressSamples_);
    const double seconds = std::chrono::duration<double>(Clock::now() - progressStart_).count();
    const double rate = seconds > 0 ? static_cast<double>(samples) / seconds : 0;
    if (!progressOnTerminal_) {
        // A log gets a line per tenth, never a carriage return.
        const int tenth = percent / 10;
        if (tenth == lastShown_ || tenth == 0) return;
        lastShown_ = tenth;
        std::fprintf(stderr, "%s\n",
                     textWith(2810, {std::to_string(tenth * 10), std::to_string(samples),
                                     std::to_string(progressSamples_)})
                         .c_str());
        return;
    }
    // The bar is redrawn at most ten times a second, and whenever the percentage changes.
    const auto now = Clock::now();
    if (percent == lastShown_ && percent < 100 && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastShown_ = percent;
    lastDrawn_ = now;
    constexpr int kWidth = 24;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '-');
    std::string left = samples >= progressSamples_ ? "0:00" : "--:--";
    if (rate > 0 && samples < progressSamples_) {
        const auto rest =
            static_cast<long long>(static_cast<double>(progressSamples_ - samples) / rate + 0.5);
        left = format("%lld:%.2lld", rest / 60, rest % 60);
    }
    // "\033[K" clears what a longer line before left behind.
    std::fprintf(stderr, "\r[%s] %3d %%  %s  %s  %s\033[K", bar.c_str(), percent,
                 textWith(2811, {std::to_string(samples), std::to_string(progressSamples_)}).c_str(),
                 textWith(2812, {format("%.0f", rate)}).c_str(), textWith(2813, {left}).c_str());
    if (percent >= 100) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void HeadlessView::showMessage(const std::string& t) {
    std::fprintf(stderr, "%s\n", t.c_str());
}

void HeadlessView::startTimer(int timerId, int milliseconds) {
    const std::chrono::milliseconds period(milliseconds);
    timers_[timerId] = {period, Clock::now() + period};
}

void HeadlessView::stopTimer(int timerId) {
    timers_.erase(timerId);
}

std::deque<std::string> HeadlessView::takeStatus() {
    std::lock_guard lock(mutex_);
    std::deque<std::string> out;
    out.swap(status_);
    return out;
}

std::vector<int> SinglePort::bridgePorts() {
    struct stat st {};
    if (path_.empty() || ::stat(path_.c_str(), &st) != 0) return {};
    return {1};
}

HeadlessSession::HeadlessSession(const std::string& portPath)
    : recording_(std::make_unique<Recording>()),
      link_(*recording_, sink_),
      portPath_(portPath),
      ports_(portPath),
      controller_(link_, view_, ports_) {
    controller_.setHistory(&history());
    const std::string& tracePath = toolOptions().trace;
    if (tracePath.empty()) return;
    if (trace_.open(tracePath)) {
        link_.setTrace(&trace_);
        trace_.note("thermivo-cli, port " + portPath);
    } else {
        std::fprintf(stderr, "thermivo-cli: --trace %s\n", trace_.error().c_str());
    }
}

HeadlessSession::~HeadlessSession() {
    link_.closePort();
    link_.setTrace(nullptr);
}

void HeadlessSession::dispatchOnce(Clock::time_point deadline) {
    // The earliest timer bounds the wait for the next message.
    auto wake = deadline;
    for (const auto& [id, timer] : view_.timers_) wake = std::min(wake, timer.due);
    PostedMessage m;
    if (sink_.next(m, wake)) {
        controller_.onMessage(m.message, m.wParam, m.lParam);
        return;
    }
    const auto now = Clock::now();
    for (auto it = view_.timers_.begin(); it != view_.timers_.end();) {
        const int id = it->first;
        if (it->second.due > now) {
            ++it;
            continue;
        }
        it->second.due += it->second.period;
        controller_.onTimer(id);  // may start or stop timers: restart the scan
        it = view_.timers_.upper_bound(id);
    }
}

bool HeadlessSession::runUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        dispatchOnce(deadline);
    }
    return true;
}

bool HeadlessSession::connect() {
    if (ports_.bridgePorts().empty()) {
        std::fprintf(stderr, "%s\n", LinkController::openFailureText(portPath_).c_str());
        return false;
    }
    controller_.startupSearch();
    const bool settled = runUntil(
        // Either the header arrives, or the status line says why not (no answer, port unusable).
        [this] { return link_.instrumentConnected.load() || !view_.text(IDC_STATUS).empty(); },
        std::chrono::seconds(30));
    if (settled && link_.instrumentConnected.load()) return true;
    const std::string status = view_.text(IDC_STATUS);
    std::fprintf(stderr, "%s\n", status.empty() ? thermivo::text(27).c_str() : status.c_str());
    // The port opened but nothing answered: say so plainly, and how to see what went over the line.
    if (status.empty() || status == thermivo::text(27))
        std::fprintf(stderr, "%s\n", textWith(2805, {portPath_}).c_str());
    return false;
}

}  // namespace thermivo::cli
