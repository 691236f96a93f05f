#pragma once
#include <string>

namespace thermivo {

/// What the print system says about the job a printout has just handed to it. Qt's print engine drops
/// the answer of the submission, so a refused job would look like a printed one.
struct SubmittedJob {
    enum class State {
        Unconfirmed,  ///< this build has no CUPS library to ask
        Accepted,     ///< a new job of ours exists and is neither cancelled nor aborted
        Refused,      ///< the print system said no (its words in `reason`), or no job arrived
        NoAnswer,     ///< the print system is there but told nothing about the job
        ServiceDown,  ///< nothing answers where the print system should be
    };
    State state = State::Unconfirmed;
    std::string reason;  ///< the print system's words when it refused
};

/// Notes the newest job of ours on `printer` before a printout, to find the printout's own job after it.
class CupsJobWatch {
  public:
    explicit CupsJobWatch(std::string printer);
    /// Call right after the printer's painter has ended, on the thread that ended it (the submission
    /// happens there, and CUPS keeps the last answer per thread).
    SubmittedJob afterSubmit() const;
    /// Cancels every job of ours that arrived on the printer since the watch began: Qt's print engine
    /// submits what it spooled even after QPrinter::abort(). False when one could not be cancelled.
    bool withdrawNewJobs() const;

  private:
    std::string printer_;
    int newestBefore_ = -1;
};

/// True when this build asks CUPS about submitted jobs.
bool cupsJobStateAvailable();

/// False only when this build can tell that the print service does not answer at all (no scheduler
/// listening); an empty printer list then means "not running", not "no printer installed".
bool printServiceRunning();

}  // namespace thermivo
