#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace thermivo {
struct Recording;
}

namespace thermivo::cli {

using Args = std::vector<std::string>;

/// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

/// Prints the usage line(s) to stderr and returns kExitUsage.
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

int runInfo(const Args& args);
int runConvert(const Args& args);
int runCreate(const Args& args);
int runDownload(const Args& args);
int runStatus(const Args& args);
int runSetClock(const Args& args);
int runStart(const Args& args);

}  // namespace thermivo::cli
