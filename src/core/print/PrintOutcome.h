#pragma once
#include <cstdint>
#include <string>

namespace thermivo {

/// What became of a printout, told to the user after Print or Save as PDF.
struct PrintOutcome {
    enum class Result {
        Cancelled,    ///< the user closed a dialog; nothing to tell
        Sent,         ///< the print system took the job
        Saved,        ///< the pages were written to a PDF file
        NoPrinter,    ///< there is no print queue to send to
        Refused,      ///< the print system refused the job or dropped it
        NotStarted,   ///< the document could not be started on the printer
        PageFailed,   ///< a page could not be started; the job was aborted
        SaveFailed,   ///< the PDF file could not be written
        NoAnswer,     ///< the print service gave no word on the job: it may or may not print
        ServiceDown,  ///< the print service is not running
        Unconfirmed,  ///< handed to the printer by a build that cannot ask the print service
        Stopped,      ///< the user cancelled while the pages were made; no job was left at the printer
        StoppedNotWithdrawn,  ///< cancelled, but the pages spooled so far could not be taken back
        SaveStopped,          ///< the user cancelled while the PDF was made; the file was left as it was
    };

    Result result = Result::Cancelled;
    /// Pages sent or saved; for PageFailed the page that could not be started.
    int pages = 0;
    /// The printer's name or the file's path.
    std::string target;
    /// What the print system or the file system said, when it said anything.
    std::string reason;

    static PrintOutcome sent(int pages, std::string printer);
    static PrintOutcome saved(int pages, std::string path);
    static PrintOutcome failure(Result result, std::string target, std::string reason = {}, int page = 0);

    bool succeeded() const { return result == Result::Sent || result == Result::Saved; }
    bool failed() const {
        return !succeeded() && result != Result::Cancelled && result != Result::Stopped &&
               result != Result::SaveStopped;
    }
};

/// The sentence for an outcome in a language ("Sent 3 pages to office.", "Sent 1 page to office."); empty
/// for a cancelled one.
std::string describe(const PrintOutcome& outcome, std::uint16_t languageId);
/// The same in the language chosen at start-up.
std::string describe(const PrintOutcome& outcome);

/// Text ids of the printing texts.
enum PrintTextId : int {
    kTextSentPages = 2400,
    kTextSentOnePage = 2401,
    kTextSavedPages = 2402,
    kTextSavedOnePage = 2403,
    kTextNoPrinterOfferPdf = 2404,
    kTextSaveAsPdf = 2405,
    kTextPrinterRefused = 2406,
    kTextJobNotStarted = 2407,
    kTextPageNotStarted = 2408,
    kTextPdfNotWritten = 2409,
    kTextPdfFilter = 2410,
    kTextNoPrinter = 2411,
    kTextNoAnswer = 2600,
    kTextServiceDown = 2601,
    kTextServiceDownOfferPdf = 2602,
    kTextUnconfirmed = 2603,
    kTextPrintStopped = 2604,
    kTextSaveStopped = 2605,
    kTextPrintingProgress = 2606,
    kTextSavingProgress = 2607,
    kTextStop = 2608,
    kTextStoppedNotWithdrawn = 2609,
};

}  // namespace thermivo
