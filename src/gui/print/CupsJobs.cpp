#include "print/CupsJobs.h"

#include <utility>

#ifdef THERMIVO_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace thermivo {

#ifdef THERMIVO_HAVE_CUPS

namespace {

struct JobScan {
    bool ok = false;
    int newestId = 0;
    ipp_jstate_t newestState = IPP_JSTATE_PENDING;
};

/// Our jobs on the printer, finished ones included; the newest id and its state.
JobScan scanJobs(const std::string& printer) {
    JobScan scan;
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printer.c_str(), 1, CUPS_WHICHJOBS_ALL);
    if (count < 0) return scan;
    scan.ok = true;
    for (int i = 0; i < count; ++i)
        if (jobs[i].id > scan.newestId) {
            scan.newestId = jobs[i].id;
            scan.newestState = jobs[i].state;
        }
    cupsFreeJobs(count, jobs);
    return scan;
}

}  // namespace

CupsJobWatch::CupsJobWatch(std::string printer) : printer_(std::move(printer)) {
    const JobScan scan = scanJobs(printer_);
    if (scan.ok) newestBefore_ = scan.newestId;
}

SubmittedJob CupsJobWatch::afterSubmit() const {
    SubmittedJob job;
    // The submission was the last CUPS request of this thread: its answer is still the thread's last error.
    const ipp_status_t status = cupsLastError();
    const char* message = cupsLastErrorString();
    const std::string submissionError =
        status > IPP_STATUS_OK_EVENTS_COMPLETE && message != nullptr ? std::string(message) : std::string();
    if (newestBefore_ < 0) return job;
    const JobScan scan = scanJobs(printer_);
    if (!scan.ok) return job;
    job.known = true;
    if (scan.newestId <= newestBefore_) {
        job.reason = submissionError.empty() ? "no job arrived at the printer" : submissionError;
        return job;
    }
    if (scan.newestState == IPP_JSTATE_CANCELED || scan.newestState == IPP_JSTATE_ABORTED) {
        job.reason =
            scan.newestState == IPP_JSTATE_CANCELED ? "the job was cancelled" : "the job was aborted";
        return job;
    }
    job.accepted = true;
    return job;
}

bool cupsJobStateAvailable() {
    return true;
}

#else

CupsJobWatch::CupsJobWatch(std::string printer) : printer_(std::move(printer)) {}

SubmittedJob CupsJobWatch::afterSubmit() const {
    return {};
}

bool cupsJobStateAvailable() {
    return false;
}

#endif

}  // namespace thermivo
