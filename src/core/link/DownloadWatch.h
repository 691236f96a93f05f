#pragma once
#include <cstdint>

#include "link/ReplyDecoder.h"

namespace thermivo {

/// The watch over one running download, asked once a tick (a second) what to do next. It keeps one
/// progress clock (progress is a sample newly placed, or a block address held for the first time; never a
/// block seen again), one resend schedule (at most one resend a look), and an overall bound that a
/// download which keeps progressing never reaches.
class DownloadWatch {
  public:
    enum class Phase {
        Idle,            ///< no download
        AwaitingHeader,  ///< the download header was asked for
        Streaming,       ///< blocks are asked for and arrive
        Complete,        ///< every sample arrived
        Failed,          ///< given up: see reason()
    };
    enum class Action {
        Wait,       ///< nothing to do this tick
        AskHeader,  ///< ask for the download header again
        AskGap,     ///< the line is quiet: ask for the first missing sample (through its request plan)
        AskAhead,   ///< the stream flows past the gap: ask again from a block that surely places
        Complete,   ///< every sample arrived
        Fail,       ///< give up
    };
    enum class Reason { None, NoProgress, TooLong };

    /// Ticks of one look: the reader hands over about two seconds of the line at a time, so only a whole
    /// look without a block says the stream has ended or stalled.
    static constexpr int kLookTicks = 3;
    /// Resends without progress before the download is given up.
    static constexpr int kResendsWithoutProgress = 3;
    /// Ticks without progress after which the download ends, whatever replies keep coming.
    static constexpr int kNoProgressTicks = 15;

    /// What the controller sees at a tick (read under the recording lock).
    struct Look {
        bool headerAnswered = false;
        bool blockPending = false;  ///< a block request is out
        int loaded = 0;
        int count = 0;
        DownloadState state;
        int placeable = 0;             ///< where a refetch of the gap surely places
        bool placeableUnique = false;  ///< no other sample shares the address of `placeable`
    };

    /// Ticks a download of `count` samples may take at most: three times the line time of its blocks plus a
    /// minute, so that a download that keeps progressing through stream cuts and resends always completes.
    static int limitTicks(std::int32_t count);

    void start(std::int32_t count);
    void stop() { phase_ = Phase::Idle; }
    Action tick(const Look& look);

    Phase phase() const { return phase_; }
    Reason reason() const { return reason_; }
    bool running() const { return phase_ == Phase::AwaitingHeader || phase_ == Phase::Streaming; }
    int resendsWithoutProgress() const { return resends_; }

  private:
    Action fail(Reason why);

    Phase phase_ = Phase::Idle;
    Reason reason_ = Reason::None;
    std::int32_t count_ = 0;
    int ticks_ = 0;
    int sinceProgress_ = 0;
    int untilLook_ = kLookTicks;
    int quietTicks_ = 0;
    int resends_ = 0;
    int lastNews_ = 0;
    int lastSeen_ = 0;
};

}  // namespace thermivo
