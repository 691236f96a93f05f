#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "TestSupport.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"

namespace thermivo::testing {
namespace {

void exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

HistoryEntry entry(HistoryEvent event, const std::string& detail) {
    HistoryEntry e;
    e.event = event;
    e.serial = "DI202612001";
    e.details = {{"note", detail}};
    return e;
}

// Five rows, tampered with in each way the chain must show, each on a fresh copy.
TEST(HistoryLog, EveryKindOfTamperingIsNamedByItsRow) {
    TempDir dir;
    const std::string path = dir.file("h.sqlite");
    {
        HistoryLog log(path, "thermivo test");
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(log.record(entry(HistoryEvent::FileSaved, "row " + std::to_string(i))));
        const auto rows = log.rows();
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[0].previousHash, std::string(64, '0'));
        for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i].previousHash, rows[i - 1].hash);
        EXPECT_TRUE(log.verifyChain().ok());
        EXPECT_EQ(log.verifyChain().rows, 5);
    }
    struct Case {
        const char* sql;
        ChainCheck::Problem problem;
        std::int64_t row;
    };
    const Case cases[] = {
        {"UPDATE events SET details = 'note=row 9' WHERE id = 3", ChainCheck::Changed, 3},
        {"UPDATE events SET user = 'someone' WHERE id = 1", ChainCheck::Changed, 1},
        {"UPDATE events SET time_utc = '2020-01-01T00:00:00.000Z' WHERE id = 5", ChainCheck::Changed, 5},
        {"DELETE FROM events WHERE id = 2", ChainCheck::Deleted, 2},
        {"DELETE FROM events WHERE id = 1", ChainCheck::Deleted, 1},
        {"DELETE FROM events WHERE id >= 4", ChainCheck::TailDeleted, 4},
    };
    for (const Case& c : cases) {
        const std::string copy = dir.file("copy.sqlite");
        std::filesystem::remove(copy);
        std::filesystem::copy_file(path, copy);
        exec(copy, c.sql);
        HistoryLog log(copy, "thermivo test");
        const ChainCheck check = log.verifyChain();
        EXPECT_EQ(check.problem, c.problem) << c.sql;
        EXPECT_EQ(check.row, c.row) << c.sql;
        // Rows appended afterwards do not heal the chain.
        ASSERT_TRUE(log.record(entry(HistoryEvent::ClockSet, "later")));
        EXPECT_EQ(log.verifyChain().row, c.row) << c.sql;
    }

    // A row rewritten with a correct hash of its own no longer matches what the next row recorded.
    const std::string copy = dir.file("rehashed.sqlite");
    std::filesystem::copy_file(path, copy);
    {
        HistoryLog log(copy, "thermivo test");
        HistoryRow row = log.rows()[1];
        row.details = "note=rewritten";
        const std::string hash = HistoryLog::rowHash(row);
        exec(copy, "UPDATE events SET details = 'note=rewritten', hash = '" + hash + "' WHERE id = 2");
    }
    HistoryLog log(copy, "thermivo test");
    EXPECT_EQ(log.verifyChain().problem, ChainCheck::Relinked);
    EXPECT_EQ(log.verifyChain().row, 2);
}

TEST(HistoryLog, DetailsKeepLineBreaksAndTheLookupsSkipOpenedFiles) {
    const HistoryDetails details = {{"path", "/tmp/a\nb\\c=d.kvlu"}, {"samples", "12"}};
    EXPECT_EQ(decodeHistoryDetails(encodeHistoryDetails(details)), details);

    TempDir dir;
    HistoryLog log(dir.file("h.sqlite"), "thermivo test");
    HistoryEntry opened = entry(HistoryEvent::FileOpened, "");
    opened.fileSha256 = "aa";
    HistoryEntry download = entry(HistoryEvent::DownloadComplete, "");
    download.samplesSha256 = "ss";
    HistoryEntry saved = entry(HistoryEvent::FileSaved, "");
    saved.fileSha256 = "aa";
    saved.samplesSha256 = "ss";
    for (const auto& e : {opened, download, saved}) ASSERT_TRUE(log.record(e));
    // Opening a file says nothing of where it came from: only the save names it.
    const auto writers = log.writersOf("aa");
    ASSERT_EQ(writers.size(), 1u);
    EXPECT_EQ(writers[0].event, "file-saved");
    ASSERT_TRUE(log.downloadWithSamples("ss"));
    EXPECT_EQ(log.downloadWithSamples("ss")->id, 2);
    EXPECT_EQ(log.rows("DI202612001").size(), 3u);
    EXPECT_TRUE(log.rows("OTHER").empty());
}

TEST(HistoryLog, ALogThatCannotBeWrittenIsToldOnceAndWorkGoesOn) {
    TempDir dir;
    // A file where the folder should be: the database can never be created.
    std::ofstream(dir.file("blocked")) << "x";
    HistoryLog log(dir.file("blocked") + "/history.sqlite", "thermivo test");
    std::vector<std::string> told;
    log.setFailureNotice([&told](const std::string& m) { told.push_back(m); });
    EXPECT_FALSE(log.record(entry(HistoryEvent::FileSaved, "1")));
    EXPECT_FALSE(log.record(entry(HistoryEvent::FileSaved, "2")));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("cannot be written"), std::string::npos) << told[0];
    EXPECT_EQ(log.verifyChain().problem, ChainCheck::Unreadable);
}

TEST(HistoryLog, DefaultPathFollowsTheDataFolder) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(HistoryLog::defaultPath(), "/srv/data/thermivo/history.sqlite");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(HistoryLog::defaultPath().find("/.local/share/thermivo/history.sqlite") != std::string::npos,
              true);
    if (old != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

// The window and the command-line tool append at once: two processes, 1000 rows each, none lost, one chain.
TEST(HistoryLog, TwoProcessesWritingAtOnceLoseNoRow) {
    TempDir dir;
    const std::string path = dir.file("shared.sqlite");
    constexpr int kRows = 1000;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char go = 0;
            close(ready[1]);
            // Both start together, so their writes interleave.
            if (read(ready[0], &go, 1) != 0) _exit(3);
            HistoryLog log(path, "writer " + std::to_string(writer));
            int failed = 0;
            for (int i = 0; i < kRows; ++i)
                failed += log.record(entry(HistoryEvent::FileExported,
                                           std::to_string(writer) + "/" + std::to_string(i)))
                              ? 0
                              : 1;
            _exit(failed == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    close(ready[0]);
    close(ready[1]);  // end of file releases both
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    HistoryLog log(path, "reader");
    const auto rows = log.rows();
    ASSERT_EQ(rows.size(), 2u * kRows);
    std::set<std::string> notes;
    std::set<std::string> programs;
    for (const HistoryRow& row : rows) {
        notes.insert(row.details);
        programs.insert(row.program);
    }
    EXPECT_EQ(notes.size(), 2u * kRows);
    EXPECT_EQ(programs.size(), 2u);
    const ChainCheck check = log.verifyChain();
    EXPECT_TRUE(check.ok()) << check.problem << " at " << check.row;
    EXPECT_EQ(check.rows, 2 * kRows);
}

}  // namespace
}  // namespace thermivo::testing
