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
    using State = SubmittedJob::State;
    SubmittedJob job;
    // The submission was the last CUPS request of this thread: its answer is still the thread's last error.
    const ipp_status_t status = cupsLastError();
    const char* message = cupsLastErrorString();
    const std::string submissionError =
        status > IPP_STATUS_OK_EVENTS_COMPLETE && message != nullptr ? std::string(message) : std::string();
    const JobScan scan = scanJobs(printer_);
    // Only a job id we see after the submission, newer than any before it, proves the job exists.
    if (scan.ok && newestBefore_ >= 0 && scan.newestId > newestBefore_) {
        if (scan.newestState == IPP_JSTATE_CANCELED || scan.newestState == IPP_JSTATE_ABORTED) {
            job.state = State::Refused;
            job.reason =
                scan.newestState == IPP_JSTATE_CANCELED ? "the job was cancelled" : "the job was aborted";
            return job;
        }
        job.state = State::Accepted;
        return job;
    }
    if (!printServiceRunning()) {
        job.state = State::ServiceDown;
        return job;
    }
    if (!submissionError.empty()) {
        job.state = State::Refused;
        job.reason = submissionError;
        return job;
    }
    if (scan.ok && newestBefore_ >= 0) {
        job.state = State::Refused;
        job.reason = "no job arrived at the printer";
        return job;
    }
    job.state = State::NoAnswer;
    return job;
}

bool CupsJobWatch::withdrawNewJobs() const {
    if (newestBefore_ < 0) return false;
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printer_.c_str(), 1, CUPS_WHICHJOBS_ALL);
    if (count < 0) return false;
    bool withdrawn = true;
    for (int i = 0; i < count; ++i)
        if (jobs[i].id > newestBefore_ && jobs[i].state < IPP_JSTATE_CANCELED &&
            cupsCancelJob2(CUPS_HTTP_DEFAULT, printer_.c_str(), jobs[i].id, 1) != IPP_STATUS_OK)
            withdrawn = false;
    cupsFreeJobs(count, jobs);
    return withdrawn;
}

bool cupsJobStateAvailable() {
    return true;
}

bool printServiceRunning() {
    // A connection of our own, not CUPS_HTTP_DEFAULT: a cached one would answer for a scheduler gone since.
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 3000, nullptr);
    if (http == nullptr) return false;
    httpClose(http);
    return true;
}

#else

CupsJobWatch::CupsJobWatch(std::string printer) : printer_(std::move(printer)) {}

SubmittedJob CupsJobWatch::afterSubmit() const {
    return {};
}

bool CupsJobWatch::withdrawNewJobs() const {
    return false;
}

bool cupsJobStateAvailable() {
    return false;
}

bool printServiceRunning() {
    return true;
}

#endif

}  // namespace thermivo
