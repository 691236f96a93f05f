#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Statistics.h"

namespace thermivo {
struct Recording;
class HistoryLog;
}

namespace thermivo::cli {

/// Exit codes of the tool; its --help and the README list them, and there are no others.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;     ///< a file refused, a download or a save failed
inline constexpr int kExitUsage = 2;       ///< the command line or the JSON input is malformed
inline constexpr int kExitNoSamples = 3;   ///< nothing to do: the instrument holds nothing to download

/// Prints the problem and the usage line of the command being run to stderr; returns kExitUsage.
int usage(const std::string& problem = {});

/// Reads a record file into rec; on failure prints " Failure to open this file : " and the name on stderr.
bool loadRecording(const std::string& path, Recording& rec);
/// Sets the current unit from "C" or "F" (either case); false for anything else.
bool applyUnit(const std::string& unit);

/// What `convert --pdf` asks for.
struct PdfRequest {
    std::string path;
    bool textPages = false;
    int curvePages = 1;
    std::optional<std::int64_t> from, to;
};
/// "YYYY-M-D HH:MM" or "YYYY-MM-DD HH:MM" in local time; nothing when malformed or no such moment exists.
std::optional<std::int64_t> parseMinuteTime(const std::string& text);
/// Writes the printout as a PDF with the current unit; an exit code.
int writePdf(const Recording& rec, const PdfRequest& request);

/// Runs `body` with what the PDF writers need (a GUI application on the offscreen platform); returns its
/// exit code, or kExitFailure when this build has no PDF writer.
int withPdfWriter(const std::string& path, const std::function<int()>& body);

// What each command was asked for; main.cpp binds every option to one of these fields.
struct InfoRequest {
    std::string path, unit, from, to;
    bool json = false;
    double activationEnergy = kDefaultActivationEnergyKJPerMol;  ///< of the mean kinetic temperature
};
struct CreateRequest {
    std::string input, output;
};
struct ConvertRequest {
    std::string input, xls, xlsx, csv, unit, pages = "curve", from, to;
    PdfRequest pdf;
};
struct ReportCommandRequest {
    std::string input, output, unit, from, to, comment;
    double activationEnergy = kDefaultActivationEnergyKJPerMol;
};
struct InstrumentRequest {
    std::string port, output, interval;
    bool partial = false;  ///< keep the received samples of a download that failed
    bool noKeep = false;   ///< keep no copy of a complete download in the recordings folder
};

struct HistoryRequest {
    std::string serial;
    bool json = false, verify = false;
};
struct VerifyRequest {
    std::string path;
    bool json = false;
};

/// The history this run appends to ($XDG_DATA_HOME/thermivo/history.sqlite); a row it cannot write is
/// told once on stderr and the command goes on.
HistoryLog& history();

int runInfo(const InfoRequest& request);
int runConvert(ConvertRequest request);
int runCreate(const CreateRequest& request);
int runReport(const ReportCommandRequest& request);
int runDownload(const InstrumentRequest& request);
int runStatus(const InstrumentRequest& request);
int runSetClock(const InstrumentRequest& request);
int runStart(const InstrumentRequest& request);
int runHistory(const HistoryRequest& request);
int runVerify(const VerifyRequest& request);

}  // namespace thermivo::cli
