// The one save rule of every file the program writes, and the reasons a failed save gives.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "app/SafeSave.h"
#include "app/UiText.h"
#include "data/RecordFile.h"
#include "export/RecordingExport.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::size_t entries(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// Runs `save` as an unprivileged user when we are root (root passes every permission check), and returns
// the problem it reported.
SaveProblem problemAsOrdinaryUser(const std::function<SaveProblem()>& save) {
    if (::geteuid() != 0) return save();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        ::_exit(static_cast<int>(save()));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<SaveProblem>(WEXITSTATUS(status)) : SaveProblem::None;
}

}  // namespace

TEST(SafeSave, SymbolicLinksAreFollowedAndPermissionsKept) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    const std::string target = dir.file("real/data.csv");
    writeText(target, "old");
    ::chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("real/data.csv", dir.path() / "link.csv");
    std::filesystem::create_symlink(dir.path() / "link.csv", dir.path() / "link2.csv");  // a chain of links

    ASSERT_TRUE(saveFileSafely(dir.file("link2.csv"), "new").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.csv"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link2.csv"));
    EXPECT_EQ(readText(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path() / "real"), 1u);  // no temporary file left

    // A link to a file that does not exist yet creates that file.
    std::filesystem::create_symlink("real/new.kvlu", dir.path() / "ahead.kvlu");
    ASSERT_TRUE(saveFileSafely(dir.file("ahead.kvlu"), "x").ok());
    EXPECT_EQ(readText(dir.file("real/new.kvlu")), "x");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "ahead.kvlu"));
}

TEST(SafeSave, EveryWriterOfTheProgramFollowsTheRule) {
    ScopedTimeZone utc("UTC");
    TempDir dir;
    auto rec = makeRecording(KindTemp, 20);
    rec->buildSampleTimes();
    std::filesystem::create_directory(dir.path() / "real");
    for (const char* name : {"r.kvlu", "r.xls", "r.csv"}) {
        const std::string target = dir.file(std::string("real/") + name);
        writeText(target, "placeholder");
        ::chmod(target.c_str(), 0604);
        std::filesystem::create_symlink(target, dir.path() / name);
    }
    {
        RecordFile file(dir.file("r.kvlu"), RecordFile::ModeWrite);
        ASSERT_TRUE(file.write(*rec)) << file.error();
    }
    // The workbook export refuses a file that is not a workbook; give it none to start from.
    std::filesystem::remove(dir.path() / "real/r.xls");
    std::filesystem::create_symlink(dir.file("real/r.xls"), dir.path() / "r2.xls");
    EXPECT_TRUE(exportRecordingToWorkbook(*rec, dir.file("r2.xls")).ok);
    ASSERT_TRUE(writeRecordingCsv(*rec, dir.file("r.csv"), AppSettings::instance()));
    for (const char* name : {"r.kvlu", "r.csv"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / name)) << name;
        struct stat st {};
        ASSERT_EQ(::stat(dir.file(std::string("real/") + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u) << name;
        EXPECT_NE(readText(dir.file(std::string("real/") + name)), "placeholder") << name;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "r2.xls"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "real/r.xls"));
}

TEST(SafeSave, PermissionDeniedIsTold) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "locked");
    ::chmod(dir.file("locked").c_str(), 0555);
    const std::string path = dir.file("locked/r.kvlu");
    EXPECT_EQ(problemAsOrdinaryUser([&] { return saveFileSafely(path, "data").problem; }),
              SaveProblem::PermissionDenied);
    auto rec = makeRecording(KindTemp, 3);
    EXPECT_EQ(problemAsOrdinaryUser([&] {
                  RecordFile file(path, RecordFile::ModeWrite);
                  file.write(*rec);
                  return file.problem();
              }),
              SaveProblem::PermissionDenied);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(saveProblemText(SaveProblem::PermissionDenied), text(2105));
}

TEST(SafeSave, DiskFullIsToldAndTheOldFileKept) {
    TempDir dir;
    const std::string mountPoint = dir.file("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    const std::string path = mountPoint + "/r.csv";
    writeText(path, "the user's old file");
    const SaveResult r = saveFileSafely(path, std::string(200 * 1024, 'x'));
    EXPECT_EQ(r.problem, SaveProblem::DiskFull) << r.detail;
    EXPECT_EQ(readText(path), "the user's old file");
    EXPECT_EQ(entries(mountPoint), 1u);

    auto rec = makeRecording(KindTemp, 20000);
    RecordFile file(path, RecordFile::ModeWrite);
    EXPECT_FALSE(file.write(*rec));
    EXPECT_EQ(file.problem(), SaveProblem::DiskFull);
    EXPECT_EQ(readText(path), "the user's old file");
    ::umount(mountPoint.c_str());
}

namespace {
std::vector<off_t> syncedSizes;
int recordingSync(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    syncedSizes.push_back(st.st_size);
    return ::fsync(fd);
}
int failingSync(int) {
    errno = EIO;
    return -1;
}
}  // namespace

TEST(SafeSave, TheWholeFileIsSyncedBeforeItReplacesTheOldOne) {
    TempDir dir;
    const std::string path = dir.file("data.kvlu");
    writeText(path, "old");
    syncedSizes.clear();
    setFileSyncForTesting(recordingSync);
    EXPECT_TRUE(saveFileSafely(path, "new contents").ok());
    // Synced once, with every byte written, while the old file still stood (the name still held "old").
    EXPECT_EQ(syncedSizes, (std::vector<off_t>{12}));
    EXPECT_EQ(readText(path), "new contents");

    // A sync that fails fails the save: the old file stays and no temporary file is left.
    setFileSyncForTesting(failingSync);
    const SaveResult r = saveFileSafely(path, "newer");
    setFileSyncForTesting(nullptr);
    EXPECT_EQ(r.problem, SaveProblem::WriteFailed) << r.detail;
    EXPECT_EQ(readText(path), "new contents");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(SafeSave, OtherTargetsAndReasonsInBothLanguages) {
    TempDir dir;
    EXPECT_EQ(saveFileSafely(dir.file("missing/r.csv"), "x").problem, SaveProblem::FolderMissing);
    EXPECT_EQ(saveFileSafely(dir.path().string(), "x").problem, SaveProblem::NotAFile);
    EXPECT_EQ(saveFileSafely("/dev/full", "x").problem, SaveProblem::NotAFile);
    for (int p = static_cast<int>(SaveProblem::ValueTooWide);
         p <= static_cast<int>(SaveProblem::WorkbookFailed); ++p) {
        const std::string english = text(2100 + p - 1, kLanguageEnglishUs);
        EXPECT_FALSE(english.empty()) << p;
        EXPECT_NE(text(2100 + p - 1, kLanguageChinesePrc), english) << p;
        EXPECT_EQ(saveProblemText(static_cast<SaveProblem>(p)), text(2100 + p - 1)) << p;
    }
}
