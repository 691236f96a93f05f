#include "print/PrintOutcome.h"

#include <utility>

#include "app/AppSettings.h"
#include "app/UiText.h"

namespace thermivo {

namespace {

/// Replaces every `key` in `s` by `value`; the texts name their blanks so both languages can order them.
std::string fill(std::string s, const std::string& key, const std::string& value) {
    for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + value.size()))
        s.replace(at, key.size(), value);
    return s;
}

std::string withReason(std::string sentence, const std::string& reason) {
    if (reason.empty()) return sentence;
    return sentence + " (" + reason + ")";
}

}  // namespace

PrintOutcome PrintOutcome::sent(int pages, std::string printer) {
    PrintOutcome o;
    o.result = Result::Sent;
    o.pages = pages;
    o.target = std::move(printer);
    return o;
}

PrintOutcome PrintOutcome::saved(int pages, std::string path) {
    PrintOutcome o;
    o.result = Result::Saved;
    o.pages = pages;
    o.target = std::move(path);
    return o;
}

PrintOutcome PrintOutcome::failure(Result result, std::string target, std::string reason, int page) {
    PrintOutcome o;
    o.result = result;
    o.pages = page;
    o.target = std::move(target);
    o.reason = std::move(reason);
    return o;
}

std::string describe(const PrintOutcome& outcome, std::uint16_t languageId) {
    const auto t = [languageId](int id) { return text(id, languageId); };
    const std::string n = std::to_string(outcome.pages);
    switch (outcome.result) {
        case PrintOutcome::Result::Cancelled:
            return {};
        case PrintOutcome::Result::Sent:
            return fill(fill(t(outcome.pages == 1 ? kTextSentOnePage : kTextSentPages), "{n}", n), "{target}",
                        outcome.target);
        case PrintOutcome::Result::Saved:
            return fill(fill(t(outcome.pages == 1 ? kTextSavedOnePage : kTextSavedPages), "{n}", n),
                        "{target}", outcome.target);
        case PrintOutcome::Result::NoPrinter:
            return withReason(t(kTextNoPrinter), outcome.reason);
        case PrintOutcome::Result::Refused:
            return withReason(fill(t(kTextPrinterRefused), "{target}", outcome.target), outcome.reason);
        case PrintOutcome::Result::NotStarted:
            return withReason(fill(t(kTextJobNotStarted), "{target}", outcome.target), outcome.reason);
        case PrintOutcome::Result::PageFailed:
            return withReason(fill(fill(t(kTextPageNotStarted), "{n}", n), "{target}", outcome.target),
                              outcome.reason);
        case PrintOutcome::Result::SaveFailed:
            return withReason(fill(t(kTextPdfNotWritten), "{target}", outcome.target), outcome.reason);
        case PrintOutcome::Result::NoAnswer:
            return withReason(t(kTextNoAnswer), outcome.reason);
        case PrintOutcome::Result::ServiceDown:
            return t(kTextServiceDown);
        case PrintOutcome::Result::Unconfirmed:
            return fill(t(kTextUnconfirmed), "{target}", outcome.target);
        case PrintOutcome::Result::Stopped:
            return fill(t(kTextPrintStopped), "{target}", outcome.target);
        case PrintOutcome::Result::StoppedNotWithdrawn:
            return fill(t(kTextStoppedNotWithdrawn), "{target}", outcome.target);
        case PrintOutcome::Result::SaveStopped:
            return fill(t(kTextSaveStopped), "{target}", outcome.target);
    }
    return {};
}

std::string describe(const PrintOutcome& outcome) {
    return describe(outcome, AppSettings::instance().languageId);
}

}  // namespace thermivo
