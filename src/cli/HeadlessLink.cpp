#include "HeadlessLink.h"

#include <cstdio>

#include "Commands.h"
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

void HeadlessView::setTextFromAnyThread(int controlId, const std::string& t) { setText(controlId, t); }

std::string HeadlessView::text(int controlId) const {
    std::lock_guard lock(mutex_);
    const auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
}

void HeadlessView::setProgress(int controlId, int position) {
    if (controlId != IDC_DOWNLOAD_BAR || !showProgress) return;
    const int percent = position * 100 / LinkController::kDownloadBarMax;
    if (percent == lastPercent_ || position == 0) return;
    lastPercent_ = percent;
    std::fprintf(stderr, "\r%3d %%", percent);
    if (percent >= 100) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void HeadlessView::showMessage(const std::string& t) { std::fprintf(stderr, "%s\n", t.c_str()); }

void HeadlessView::startTimer(int timerId, int milliseconds) {
    const std::chrono::milliseconds period(milliseconds);
    timers_[timerId] = {period, Clock::now() + period};
}

void HeadlessView::stopTimer(int timerId) { timers_.erase(timerId); }

std::deque<std::string> HeadlessView::takeStatus() {
    std::lock_guard lock(mutex_);
    std::deque<std::string> out;
    out.swap(status_);
    return out;
}

HeadlessSession::HeadlessSession(const std::string& portPath)
    : recording_(std::make_unique<Recording>()),
      link_(*recording_, sink_),
      portPath_(portPath),
      controller_(link_, view_, ports_) {
    // A path named on the command line counts as a bridge, whatever its device is.
    ports_.addExplicitPort(portPath);
    controller_.setHistory(&history());
}

HeadlessSession::~HeadlessSession() { link_.closePort(); }

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
    return false;
}

}  // namespace thermivo::cli
