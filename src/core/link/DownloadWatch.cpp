#include "link/DownloadWatch.h"

#include <algorithm>

#include "data/Recording.h"

namespace thermivo {

namespace {

// A block reply is 42 bytes; the line carries 960 bytes per second.
constexpr int kBlockReplyBytes = 42;
constexpr int kLineBytesPerSecond = 960;
constexpr int kSpareTicks = 60;

}  // namespace

int DownloadWatch::limitTicks(std::int32_t count) {
    const std::int64_t blocks = (std::clamp(count, 0, Recording::kCapacity) + 15) / 16;
    const std::int64_t lineSeconds =
        (blocks * kBlockReplyBytes + kLineBytesPerSecond - 1) / kLineBytesPerSecond;
    return static_cast<int>(3 * lineSeconds) + kSpareTicks;
}

void DownloadWatch::start(std::int32_t count) {
    *this = DownloadWatch();
    phase_ = Phase::AwaitingHeader;
    count_ = count;
}

DownloadWatch::Action DownloadWatch::fail(Reason why) {
    phase_ = Phase::Failed;
    reason_ = why;
    return Action::Fail;
}

DownloadWatch::Action DownloadWatch::tick(const Look& look) {
    if (!running()) return Action::Wait;
    ++ticks_;
    if (look.headerAnswered) {
        phase_ = Phase::Streaming;
        count_ = look.count;
        if (look.loaded >= look.count) {
            phase_ = Phase::Complete;
            return Action::Complete;
        }
    }
    const int news = look.state.storedBlocks + look.state.heldBlocks;
    const bool progress = news != lastNews_;
    const bool lineMoved = look.state.blocksSeen != lastSeen_;
    lastNews_ = news;
    lastSeen_ = look.state.blocksSeen;
    quietTicks_ = lineMoved ? 0 : quietTicks_ + 1;
    if (progress) {
        sinceProgress_ = 0;
        resends_ = 0;
    } else {
        ++sinceProgress_;
    }
    if (sinceProgress_ >= kNoProgressTicks) return fail(Reason::NoProgress);
    if (ticks_ > limitTicks(count_)) return fail(Reason::TooLong);

    if (phase_ == Phase::Streaming && look.blockPending && look.state.heldAtEnd && !lineMoved) {
        // The answer ran to the end of the recording as the copy past the address wrap and stopped there:
        // ask through the first unique block at once instead of waiting out a look.
        if (resends_ >= kResendsWithoutProgress) return fail(Reason::NoProgress);
        untilLook_ = kLookTicks;
        ++resends_;
        return Action::AskGap;
    }
    if (--untilLook_ > 0) return Action::Wait;
    untilLook_ = kLookTicks;
    if (resends_ >= kResendsWithoutProgress) return fail(Reason::NoProgress);
    if (phase_ == Phase::AwaitingHeader) {
        ++resends_;
        return Action::AskHeader;
    }
    if (!look.blockPending) return Action::Wait;
    if (quietTicks_ >= kLookTicks) {
        ++resends_;
        return Action::AskGap;
    }
    if ((look.state.storedBeyondGap || sinceProgress_ >= 2 * kLookTicks) && look.placeableUnique &&
        look.state.streamAt > look.placeable) {
        // The stream has passed the gap, or brings nothing new: ask again while it still flows, but only from
        // a block whose address no other sample shares and which the old stream has already passed, so the
        // first block of that address to come is the new stream's.
        ++resends_;
        return Action::AskAhead;
    }
    return Action::Wait;
}

}  // namespace thermivo
