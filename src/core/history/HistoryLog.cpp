#include "history/HistoryLog.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "app/Format.h"
#include "app/Sha256.h"
#include "app/UiText.h"

namespace thermivo {

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 10> kEventNames = {
    "download-complete", "download-partial", "download-failed", "clock-set",    "recording-started",
    "file-opened",       "file-saved",       "file-exported",   "file-printed", "report-made"};
constexpr int kTextFirstEvent = 2930;
// A writer waits this long for the other program's transaction before the row counts as not written.
constexpr int kBusyTimeoutMs = 10000;
const std::string kNoPreviousHash(64, '0');

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS events("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time_utc TEXT NOT NULL, user TEXT NOT NULL, host TEXT NOT NULL, program TEXT NOT NULL,"
    " event TEXT NOT NULL, serial TEXT NOT NULL, details TEXT NOT NULL,"
    " file_sha256 TEXT NOT NULL, samples_sha256 TEXT NOT NULL,"
    " previous_hash TEXT NOT NULL, hash TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS events_file ON events(file_sha256);"
    "CREATE INDEX IF NOT EXISTS events_samples ON events(samples_sha256);"
    "CREATE INDEX IF NOT EXISTS events_serial ON events(serial);";
constexpr const char* kColumns =
    "id, time_utc, user, host, program, event, serial, details, file_sha256, samples_sha256, previous_hash, "
    "hash";

/// A prepared statement that finalizes itself.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt* get() const { return s_; }
    void bind(int index, const std::string& value) {
        sqlite3_bind_text(s_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(s_, index, value); }
    int step() { return sqlite3_step(s_); }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
        return p != nullptr ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, column)))
                            : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(s_, column); }

  private:
    sqlite3_stmt* s_ = nullptr;
};

HistoryRow rowOf(const Statement& s) {
    HistoryRow r;
    r.id = s.integer(0);
    r.timeUtc = s.text(1);
    r.user = s.text(2);
    r.host = s.text(3);
    r.program = s.text(4);
    r.event = s.text(5);
    r.serial = s.text(6);
    r.details = s.text(7);
    r.fileSha256 = s.text(8);
    r.samplesSha256 = s.text(9);
    r.previousHash = s.text(10);
    r.hash = s.text(11);
    return r;
}

std::string utcNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    gmtime_r(&ts.tv_sec, &t);
    return format("%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, ts.tv_nsec / 1000000);
}

std::string systemUser() {
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) return pw->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return std::to_string(geteuid());
}

std::string hostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) return "unknown-host";
    return name.data();
}

}  // namespace

const char* historyEventName(HistoryEvent event) {
    return kEventNames[static_cast<std::size_t>(event)];
}

std::optional<HistoryEvent> historyEventFromName(const std::string& name) {
    for (std::size_t i = 0; i < kEventNames.size(); ++i)
        if (name == kEventNames[i]) return static_cast<HistoryEvent>(i);
    return std::nullopt;
}

std::string historyEventText(const std::string& name) {
    const auto event = historyEventFromName(name);
    return event ? text(kTextFirstEvent + static_cast<int>(*event)) : name;
}

std::string encodeHistoryDetails(const HistoryDetails& details) {
    std::string out;
    for (const auto& [key, value] : details) {
        if (!out.empty()) out += '\n';
        out += key;
        out += '=';
        for (const char c : value) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '\n')
                out += "\\n";
            else
                out += c;
        }
    }
    return out;
}

HistoryDetails decodeHistoryDetails(const std::string& text) {
    HistoryDetails details;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const auto eq = line.find('=');
        std::string value;
        const std::string raw = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                value += raw[i + 1] == 'n' ? '\n' : raw[i + 1];
                ++i;
            } else {
                value += raw[i];
            }
        }
        details.emplace_back(line.substr(0, eq), value);
    }
    return details;
}

std::int64_t HistoryRow::seconds() const {
    tm t{};
    if (std::sscanf(timeUtc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec) != 6)
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return timegm(&t);
}

HistoryLog::HistoryLog(std::string path, std::string program)
    : path_(std::move(path)), program_(std::move(program)), user_(systemUser()), host_(hostName()) {}

HistoryLog::~HistoryLog() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
}

std::string HistoryLog::defaultPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (data != nullptr && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr && home[0] != '\0' ? home : "/tmp") / ".local" / "share";
    }
    return (base / "thermivo" / "history.sqlite").string();
}

std::string HistoryLog::rowHash(const HistoryRow& row) {
    // Each field with its length in front, so no choice of texts can make two rows hash alike.
    Sha256 h;
    h.update(row.previousHash);
    for (const std::string& field : {std::to_string(row.id), row.timeUtc, row.user, row.host, row.program,
                                     row.event, row.serial, row.details, row.fileSha256, row.samplesSha256}) {
        h.update(std::to_string(field.size()) + ":");
        h.update(field);
    }
    return h.finishHex();
}

bool HistoryLog::open(std::string* error) {
    if (db_ != nullptr) return true;
    std::error_code ec;
    fs::create_directories(fs::path(path_).parent_path(), ec);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error != nullptr) *error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL lets the window read the history while the command-line tool appends to it.
    char* message = nullptr;
    const int rc = sqlite3_exec(db,
                                "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                "BEGIN IMMEDIATE;",
                                nullptr, nullptr, &message);
    int schema = rc;
    if (rc == SQLITE_OK) {
        schema = sqlite3_exec(db, kSchema, nullptr, nullptr, &message);
        sqlite3_exec(db, schema == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (schema != SQLITE_OK) {
        if (error != nullptr) *error = message != nullptr ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        sqlite3_close_v2(db);
        return false;
    }
    db_ = db;
    return true;
}

void HistoryLog::fail(const std::string& why) {
    if (told_) return;
    told_ = true;
    if (notice_) notice_(textWith(2910, {path_, why}));
}

bool HistoryLog::record(const HistoryEntry& entry) {
    std::lock_guard lock(mutex_);
    std::string error;
    if (!open(&error)) {
        fail(error);
        return false;
    }
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(sqlite3_errmsg(db_));
        return false;
    }
    HistoryRow row;
    row.previousHash = kNoPreviousHash;
    std::int64_t lastId = 0;
    {
        Statement last(db_, "SELECT id, hash FROM events ORDER BY id DESC LIMIT 1");
        if (last && last.step() == SQLITE_ROW) {
            lastId = last.integer(0);
            row.previousHash = last.text(1);
        }
        // Ids are never reused: a row deleted from the end leaves its number behind as a gap.
        Statement sequence(db_, "SELECT seq FROM sqlite_sequence WHERE name = 'events'");
        if (sequence && sequence.step() == SQLITE_ROW) lastId = std::max(lastId, sequence.integer(0));
    }
    row.id = lastId + 1;
    row.timeUtc = utcNow();
    row.user = user_;
    row.host = host_;
    row.program = program_;
    row.event = historyEventName(entry.event);
    row.serial = entry.serial;
    row.details = encodeHistoryDetails(entry.details);
    row.fileSha256 = entry.fileSha256;
    row.samplesSha256 = entry.samplesSha256;
    row.hash = rowHash(row);
    int rc = SQLITE_ERROR;
    {
        Statement insert(db_,
                         "INSERT INTO events(id, time_utc, user, host, program, event, serial, details,"
                         " file_sha256, samples_sha256, previous_hash, hash)"
                         " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        if (insert) {
            insert.bind(1, row.id);
            int i = 2;
            for (const std::string* v :
                 {&row.timeUtc, &row.user, &row.host, &row.program, &row.event, &row.serial, &row.details,
                  &row.fileSha256, &row.samplesSha256, &row.previousHash, &row.hash})
                insert.bind(i++, *v);
            rc = insert.step();
        }
    }
    if (rc != SQLITE_DONE || sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string why = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        fail(why);
        return false;
    }
    return true;
}

std::vector<HistoryRow> HistoryLog::rows(const std::string& serial, std::string* error) {
    std::lock_guard lock(mutex_);
    std::vector<HistoryRow> out;
    std::string why;
    if (!open(&why)) {
        if (error != nullptr) *error = why;
        return out;
    }
    Statement s(db_,
                (std::string("SELECT ") + kColumns + " FROM events WHERE ?1 = '' OR serial = ?1 ORDER BY id")
                    .c_str());
    if (!s) {
        if (error != nullptr) *error = sqlite3_errmsg(db_);
        return out;
    }
    s.bind(1, serial);
    while (s.step() == SQLITE_ROW) out.push_back(rowOf(s));
    return out;
}

std::vector<HistoryRow> HistoryLog::writersOf(const std::string& fileSha256, std::string* error) {
    std::lock_guard lock(mutex_);
    std::vector<HistoryRow> out;
    std::string why;
    if (!open(&why)) {
        if (error != nullptr) *error = why;
        return out;
    }
    Statement s(db_, (std::string("SELECT ") + kColumns +
                      " FROM events WHERE file_sha256 = ?1 AND event <> 'file-opened' ORDER BY id")
                         .c_str());
    if (!s) {
        if (error != nullptr) *error = sqlite3_errmsg(db_);
        return out;
    }
    s.bind(1, fileSha256);
    while (s.step() == SQLITE_ROW) out.push_back(rowOf(s));
    return out;
}

std::optional<HistoryRow> HistoryLog::downloadWithSamples(const std::string& samplesSha256,
                                                          std::string* error) {
    std::lock_guard lock(mutex_);
    std::string why;
    if (!open(&why)) {
        if (error != nullptr) *error = why;
        return std::nullopt;
    }
    Statement s(db_,
                (std::string("SELECT ") + kColumns +
                 " FROM events WHERE samples_sha256 = ?1 AND event = 'download-complete' ORDER BY id LIMIT 1")
                    .c_str());
    if (!s) {
        if (error != nullptr) *error = sqlite3_errmsg(db_);
        return std::nullopt;
    }
    s.bind(1, samplesSha256);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return rowOf(s);
}

ChainCheck HistoryLog::verifyChain() {
    ChainCheck check;
    std::string error;
    const std::vector<HistoryRow> all = rows({}, &error);
    if (!error.empty()) {
        check.problem = ChainCheck::Unreadable;
        check.error = error;
        return check;
    }
    check.rows = static_cast<std::int64_t>(all.size());
    std::int64_t expected = 1;
    std::string previous = kNoPreviousHash;
    for (const HistoryRow& row : all) {
        if (row.id != expected) {
            check.problem = ChainCheck::Deleted;
            check.row = expected;
            return check;
        }
        if (rowHash(row) != row.hash) {
            check.problem = ChainCheck::Changed;
            check.row = row.id;
            return check;
        }
        if (row.previousHash != previous) {
            // This row is as it was written; the one before it is not what it was then.
            check.problem = ChainCheck::Relinked;
            check.row = row.id - 1;
            return check;
        }
        previous = row.hash;
        ++expected;
    }
    std::int64_t sequence = 0;
    {
        std::lock_guard lock(mutex_);
        Statement s(db_, "SELECT seq FROM sqlite_sequence WHERE name = 'events'");
        if (s && s.step() == SQLITE_ROW) sequence = s.integer(0);
    }
    if (sequence >= expected) {
        check.problem = ChainCheck::TailDeleted;
        check.row = expected;
    }
    return check;
}

}  // namespace thermivo
