#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace thermivo {

/// What a row of the history records. The names are what the database holds; they never change.
enum class HistoryEvent {
    DownloadComplete,
    DownloadPartial,
    DownloadFailed,
    ClockSet,
    RecordingStarted,
    FileOpened,
    FileSaved,
    FileExported,
    FilePrinted,
    ReportMade,
};

/// "download-complete" ... "report-made".
const char* historyEventName(HistoryEvent event);
/// The event of a stored name; nothing for a name this version does not know.
std::optional<HistoryEvent> historyEventFromName(const std::string& name);
/// The event's name in the user's language.
std::string historyEventText(const std::string& name);

/// Key/value details of an event, in the order they were given.
using HistoryDetails = std::vector<std::pair<std::string, std::string>>;
/// One "key=value" line per pair; a line break or backslash in a value is escaped.
std::string encodeHistoryDetails(const HistoryDetails& details);
HistoryDetails decodeHistoryDetails(const std::string& text);

/// What one event says, before the log adds who, where, when and the chain.
struct HistoryEntry {
    HistoryEvent event = HistoryEvent::FileOpened;
    std::string serial;
    HistoryDetails details;
    /// SHA-256 of the file written or read, when there is one: verify finds files by it.
    std::string fileSha256;
    /// Fingerprint of the recording's samples (recordingFingerprint): ties a save to its download.
    std::string samplesSha256;
};

/// A stored row.
struct HistoryRow {
    std::int64_t id = 0;
    std::string timeUtc;  ///< "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::string user, host, program, event, serial, details, fileSha256, samplesSha256, previousHash, hash;
    /// Seconds since the epoch of timeUtc.
    std::int64_t seconds() const;
};

/// Outcome of checking the chain.
struct ChainCheck {
    enum Problem { None, Unreadable, Changed, Deleted, Relinked, TailDeleted };
    Problem problem = None;
    std::int64_t rows = 0;
    /// The first row that fails: the changed row, the first missing row, the row whose link fails, or
    /// the first row deleted from the end.
    std::int64_t row = 0;
    std::string error;  ///< why the log could not be read
    bool ok() const { return problem == None; }
};

/// The tamper-evident history of this computer: one SQLite file that the window and the command-line
/// tool append to, each row chained to the one before by SHA-256. It shows edits; it does not prevent
/// them (whoever may write the file can rebuild the chain).
class HistoryLog {
  public:
    /// `path` of the database; `program` names the writer ("thermivo 1.2.0").
    HistoryLog(std::string path, std::string program);
    ~HistoryLog();
    HistoryLog(const HistoryLog&) = delete;
    HistoryLog& operator=(const HistoryLog&) = delete;

    /// $XDG_DATA_HOME/thermivo/history.sqlite (~/.local/share when unset or not absolute).
    static std::string defaultPath();
    const std::string& path() const { return path_; }

    /// Told once, with the reason, the first time a row cannot be written; the caller's work goes on.
    void setFailureNotice(std::function<void(const std::string&)> notice) { notice_ = std::move(notice); }

    /// Appends one row; false (and the notice, once) when it could not be written.
    bool record(const HistoryEntry& entry);

    /// Rows in order, all or those of one serial number; nothing with `error` set when unreadable.
    std::vector<HistoryRow> rows(const std::string& serial = {}, std::string* error = nullptr);
    /// Rows that name a file by this SHA-256, oldest first, opened files left out (reading proves nothing
    /// of where a file came from).
    std::vector<HistoryRow> writersOf(const std::string& fileSha256, std::string* error = nullptr);
    /// The oldest complete download whose samples have this fingerprint.
    std::optional<HistoryRow> downloadWithSamples(const std::string& samplesSha256,
                                                  std::string* error = nullptr);
    /// Walks the whole chain.
    ChainCheck verifyChain();

    /// The hash of a row from its content and the hash of the row before.
    static std::string rowHash(const HistoryRow& row);

  private:
    bool open(std::string* error);
    void fail(const std::string& why);

    std::string path_;
    std::string program_, user_, host_;
    sqlite3* db_ = nullptr;
    std::mutex mutex_;
    bool told_ = false;
    std::function<void(const std::string&)> notice_;
};

}  // namespace thermivo
