#pragma once
#include <string>

namespace thermivo {

/// What the print system says about the job a printout has just handed to it. Qt's print engine drops
/// the answer of the submission, so a refused job would look like a printed one.
struct SubmittedJob {
    bool known = false;     ///< false: nothing could be learnt (no CUPS library in this build, no answer)
    bool accepted = false;  ///< a job exists and is neither cancelled nor aborted
    std::string reason;     ///< the print system's words when it refused
};

/// Notes the newest job of ours on `printer` before a printout, to find the printout's own job after it.
class CupsJobWatch {
  public:
    explicit CupsJobWatch(std::string printer);
    /// Call right after the printer's painter has ended (the submission happens there, on this thread).
    SubmittedJob afterSubmit() const;

  private:
    std::string printer_;
    int newestBefore_ = -1;
};

/// True when this build asks CUPS about submitted jobs.
bool cupsJobStateAvailable();

}  // namespace thermivo
