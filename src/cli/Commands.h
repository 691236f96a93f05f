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
}  // namespace thermivo

namespace thermivo::cli {

/// Exit codes of the tool; its --help and the README list them, and there are no others.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;    ///< a file refused, a download or a save failed, no instrument
inline constexpr int kExitUsage = 2;      ///< the command line or the JSON input is malformed, or ambiguous
inline constexpr int kExitNoSamples = 3;  ///< nothing to do: the instrument holds nothing to download

/// Prints the problem and the usage line of the command being run to stderr; returns kExitUsage.
int usage(const std::string& problem = {});

/// Reads a record file into rec; on failure prints " Failure to open this file : " and the name on stderr.
/// Reads a record file ("-" the standard input; a pipe or FIFO is read once, to its end). With `digest`, also
/// the SHA-256 of the bytes read.
bool loadRecording(const std::string& path, Recording& rec, std::string* digest = nullptr);
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
    bool replace = false;  ///< --xls: write a new workbook in place of an existing one
};
struct ReportCommandRequest {
    std::string input, output, unit, from, to, comment;
    double activationEnergy = kDefaultActivationEnergyKJPerMol;
};
struct InstrumentRequest {
    std::string port, output;
    int interval = 0;      ///< minutes between samples of `start`, 1..99 (the parser checks)
    bool partial = false;  ///< keep the received samples of a download that failed
    bool noKeep = false;   ///< keep no copy of a complete download in the recordings folder
    bool json = false;     ///< `status`: print the answer as JSON
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

/// Options of the tool itself, before or after the command.
struct ToolOptions {
    std::string trace;   ///< --trace FILE: the serial exchange, frame by frame
    bool quiet = false;  ///< --quiet: no progress and no success lines, only results and errors
};
ToolOptions& toolOptions();

/// The port to talk to: --port, else THERMIVO_PORT, else the one CH34x bridge attached. Prints why there is
/// none (exit 1) or which to choose from (exit 2) and returns that exit code; kExitOk with `port` set.
int choosePort(const std::string& requested, std::string& port);
/// Prints a line on stderr unless --quiet was given (for what went well; failures are always printed).
void sayDone(const std::string& line);
/// Escapes a string for a JSON string literal (without the quotes).
std::string jsonEscape(const std::string& s);

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
int runPorts(bool json);

}  // namespace thermivo::cli
