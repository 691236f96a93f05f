#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "TestSupport.h"
#include "app/Sha256.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "history/HistoryLog.h"
#include "sim/PtyInstrument.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

std::string historyPath(const TempDir& dir) {
    return dir.file("data") + "/thermivo/history.sqlite";
}

// Changes the database with SQLite itself, as anyone with write access to the file could.
void tamper(const TempDir& dir, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(historyPath(dir).c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    EXPECT_EQ(sqlite3_changes(db), 1) << sql;
    sqlite3_close(db);
}

}  // namespace

// A download (with its saved file), a report of that file, and a clock set: four rows, each chained to the
// one before. The report names its source as the original download. An edited detail, then a deleted row, is
// named by `history --verify`.
TEST(CliHistory, DownloadSaveReportAndClockSetChainAndTamperingIsNamed) {
    TempDir dir;
    SimConfig c;
    c.samples = simulatedCurve(300, 11);
    c.start = 1764576000;  // 2025-12-01 08:00 UTC
    c.intervalMinutes = 5;
    PtyInstrument instrument(c);
    ASSERT_TRUE(instrument.start()) << instrument.error();
    const std::string kvlu = dir.file("trip.kvlu"), csv = dir.file("trip.csv"), pdf = dir.file("trip.pdf");
    ASSERT_EQ(cli(dir, "download --port " + instrument.path() + " -o '" + kvlu + "'").status, 0);
    const CliRun report = cli(dir, "report '" + kvlu + "' -o '" + pdf + "'");
    ASSERT_EQ(report.status, 0) << report.err;
    const CliRun clock = cli(dir, "set-clock --port " + instrument.path());
    ASSERT_EQ(clock.status, 0) << clock.err;

    const CliRun listed = cli(dir, "history --json");
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto rows = nlohmann::json::parse(listed.out);
    ASSERT_EQ(rows.size(), 4u) << listed.out;
    const std::vector<std::string> events = {"download-complete", "file-saved", "report-made", "clock-set"};
    // The download's row, then its saved file, the report and the clock.
    EXPECT_EQ(rows[0]["event"], events[0]);
    EXPECT_EQ(rows[1]["event"], events[1]);
    EXPECT_EQ(rows[2]["event"], events[2]);
    EXPECT_EQ(rows[3]["event"], events[3]);
    std::string previous(64, '0');
    for (const auto& row : rows) {
        EXPECT_EQ(row["previous_hash"], previous);
        EXPECT_EQ(row["serial"], c.serial);
        EXPECT_EQ(row["program"].get<std::string>().rfind("thermivo-cli ", 0), 0u);
        previous = row["hash"];
    }
    EXPECT_EQ(rows[0]["details"]["samples"], "300");
    EXPECT_EQ(rows[0]["details"]["start"], "2025-12-01T08:00Z");
    // The tool keeps the original as the window does, and its row names the kept file by digest.
    EXPECT_EQ(rows[0]["file_sha256"], *sha256HexOfFile(kvlu));
    EXPECT_EQ(rows[1]["file_sha256"], *sha256HexOfFile(kvlu));
    EXPECT_EQ(rows[1]["samples_sha256"], rows[0]["samples_sha256"]);
    EXPECT_EQ(rows[2]["file_sha256"], *sha256HexOfFile(pdf));
    // The report itself tells what the history knew of its source file when it was made.
    const std::string pdfText = commandOutput("pdftotext -enc UTF-8 '" + pdf + "' - 2>/dev/null");
    EXPECT_NE(pdfText.find("Origin"), std::string::npos) << pdfText;
    EXPECT_NE(pdfText.find("Original download of " + c.serial), std::string::npos) << pdfText;
    // The instrument's clock as its last status gave it, and the computer's time sent.
    EXPECT_NE(rows[3]["details"]["old"], "unknown") << rows[3];
    EXPECT_EQ(rows[3]["details"]["new"].get<std::string>().size(), 17u) << rows[3];

    // The file the download saved holds the very bytes of the kept original, so it is that original; the
    // report carries the samples of the download.
    const CliRun saved = cli(dir, "verify '" + kvlu + "'");
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out.rfind("Original download of " + c.serial + " on ", 0), 0u) << saved.out;
    EXPECT_NE(saved.out.find("Its samples equal the kept original "), std::string::npos) << saved.out;
    EXPECT_NE(cli(dir, "verify '" + pdf + "'").out.find(" from the original of "), std::string::npos);

    CliRun check = cli(dir, "history --verify");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "History intact: 4 rows, the chain unbroken.\n");

    tamper(dir, "UPDATE events SET details = replace(details, 'samples=300', 'samples=299') WHERE id = 2");
    check = cli(dir, "history --verify");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "History broken at row 2: the row was changed.\n");
    check = cli(dir, "history --verify --json");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(nlohmann::json::parse(check.out)["row"], 2);
    EXPECT_EQ(nlohmann::json::parse(check.out)["problem"], "changed");
    // Put back exactly as it was, the chain holds again: the check saw that one edit and nothing else.
    tamper(dir, "UPDATE events SET details = replace(details, 'samples=299', 'samples=300') WHERE id = 2");
    EXPECT_EQ(cli(dir, "history --verify").status, 0);

    tamper(dir, "DELETE FROM events WHERE id = 3");
    check = cli(dir, "history --verify", "zh_CN.UTF-8");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "历史记录在第 3 行断开：该行已被删除。\n");
    // A row written after the deletion does not hide it.
    ASSERT_EQ(cli(dir, "convert '" + kvlu + "' --csv '" + csv + "'").status, 0);
    EXPECT_EQ(cli(dir, "history --verify").out, "History broken at row 3: the row was deleted.\n");
}

// An original kept by a download, and a copy of it with one sample changed by another program: the copy
// is unknown to the history, and its changed sample is named.
TEST(CliHistory, ASampleChangedByAnotherProgramIsNamed) {
    TempDir dir;
    auto rec = makeRecording(KindTemp, 500, 1764576000, 300);
    const RecordingStore store(dir.file("data") + "/thermivo/recordings");
    const RecordingStore::Kept kept = store.keep(*rec);
    ASSERT_TRUE(kept.ok) << kept.error;
    {
        // The row the window writes when it keeps a complete download.
        HistoryLog log(historyPath(dir), "thermivo test");
        HistoryEntry entry = downloadEntry(HistoryEvent::DownloadComplete, *rec);
        entry.fileSha256 = *sha256HexOfFile(kept.path);
        ASSERT_TRUE(log.record(entry));
    }

    CliRun r = cli(dir, "verify '" + kept.path + "'", "en_US.UTF-8", "Europe/Berlin");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Original download of " + rec->serialText() + " on ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Its samples equal the kept original"), std::string::npos) << r.out;

    const std::string edited = dir.file("edited.kvlu");
    const std::string script = std::string(THERMIVO_TEST_SUPPORT_DIR) + "/change-record-sample.py";
    const std::string command =
        "/usr/bin/python3 '" + script + "' '" + kept.path + "' '" + edited + "' 137 9.99 1 500";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // The edit is a valid record file that reads back with the new value.
    {
        auto back = std::make_unique<Recording>();
        RecordFile file(edited, RecordFile::ModeRead);
        ASSERT_TRUE(file.read(*back)) << file.error();
        ASSERT_FLOAT_EQ(back->temperature[136], 9.99f);
        ASSERT_NE(rec->temperature[136], 9.99f);
    }

    // The file holds local wall time: 08:00 written here in UTC reads as 08:00 in Berlin too.
    r = cli(dir, "verify '" + edited + "'", "en_US.UTF-8", "Europe/Berlin");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Not known to this computer's history\nSample 137 (2025-12-1 19:20) differs from "
                          "the kept original ",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find(": 9.99 here, "), std::string::npos) << r.out;
    r = cli(dir, "verify --json '" + edited + "'");
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["origin"], "unknown");
    EXPECT_EQ(json["samples"], "differ");
    EXPECT_EQ(json["first_differing_sample"], 137);
    EXPECT_EQ(json["value"], "9.99");
    r = cli(dir, "verify '" + edited + "'", "zh_CN.UTF-8");
    EXPECT_NE(r.out.find("本计算机的历史记录中没有此文件"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("第 137 个数据"), std::string::npos) << r.out;

    // The kept original itself changed behind the history's back is told too.
    std::filesystem::copy_file(edited, kept.path, std::filesystem::copy_options::overwrite_existing);
    r = cli(dir, "verify '" + kept.path + "'");
    EXPECT_NE(r.out.find("is not the file the history saw downloaded"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.rfind("Not known to this computer's history", 0), 0u) << r.out;
}
