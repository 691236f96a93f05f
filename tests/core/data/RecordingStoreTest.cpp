#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"

using namespace thermivo;
using namespace thermivo::testing;
namespace fs = std::filesystem;

namespace {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_.c_str(), previous_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

  private:
    std::string name_, previous_;
    bool had_ = false;
};

std::size_t filesUnder(const fs::path& root) {
    std::size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) ++n;
    return n;
}

}  // namespace

TEST(RecordingStore, RootFollowsTheDataHomeAndFallsBackToTheHomeFolder) {
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(RecordingStore::defaultRoot(), "/srv/data/thermivo/recordings");
    }
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(RecordingStore::defaultRoot(), "/home/ann/.local/share/thermivo/recordings");
    }
    // A relative value is not a data home at all.
    ScopedEnv relative("XDG_DATA_HOME", "data");
    EXPECT_EQ(RecordingStore::defaultRoot(), "/home/ann/.local/share/thermivo/recordings");
}

TEST(RecordingStore, NamesComeFromSerialAndLocalStartTime) {
    ScopedTimeZone tz("Europe/Berlin");
    RecordingStore store("/r");
    EXPECT_EQ(store.pathFor("DI202612001", 1764576000), "/r/DI202612001/2025-12-01_09-00.kvlu");
    EXPECT_EQ(RecordingStore::folderName("D/../x y"), "D_.._x_y");
    EXPECT_EQ(RecordingStore::folderName(".."), "unknown-serial");
    EXPECT_EQ(RecordingStore::folderName(""), "unknown-serial");
    EXPECT_EQ(RecordingStore::folderName(".hidden"), "_hidden");
    EXPECT_EQ(RecordingStore::startName(0), "unknown-start");
}

TEST(RecordingStore, KeepsOneFilePerRecordingAndKnowsWhatItHolds) {
    ScopedTimeZone tz("UTC");
    TempDir dir;
    RecordingStore store((dir.path() / "recordings").string());
    auto rec = makeRecording(KindTemp, 120, 1764576000, 300);
    const std::string serial = rec->serialText();
    EXPECT_FALSE(store.holdsCopy(serial, rec->startTime, 120));

    const auto kept = store.keep(*rec);
    ASSERT_TRUE(kept.ok) << kept.error;
    EXPECT_EQ(kept.path, store.pathFor(serial, rec->startTime));
    EXPECT_TRUE(store.holdsCopy(serial, rec->startTime, 120));
    EXPECT_FALSE(store.holdsCopy(serial, rec->startTime, 119));
    EXPECT_FALSE(store.holdsCopy(serial, rec->startTime + 60, 120));
    EXPECT_FALSE(store.holdsCopy("DI000000000", rec->startTime, 120));

    auto back = std::make_unique<Recording>();
    RecordFile file(kept.path, RecordFile::ModeRead);
    ASSERT_TRUE(file.isOpen() && file.read(*back)) << file.error();
    EXPECT_EQ(back->sampleCount, 120);
    EXPECT_FLOAT_EQ(back->temperature[119], rec->temperature[119]);

    // The same recording downloaded again while it grew replaces its file: still one file.
    auto longer = makeRecording(KindTemp, 150, 1764576000, 300);
    ASSERT_TRUE(store.keep(*longer).ok);
    EXPECT_TRUE(store.holdsCopy(serial, rec->startTime, 150));
    EXPECT_EQ(filesUnder(store.root()), 1u);

    // A damaged copy is no copy.
    std::ofstream(kept.path, std::ios::trunc) << "garbage";
    EXPECT_FALSE(store.holdsCopy(serial, rec->startTime, 150));
}

TEST(RecordingStore, AFolderThatCannotBeMadeIsReportedAndNothingIsWritten) {
    TempDir dir;
    std::ofstream(dir.file("blocked")) << "a file where the folder should be";
    RecordingStore store(dir.file("blocked"));
    auto rec = makeRecording(KindTemp, 10);
    const auto kept = store.keep(*rec);
    EXPECT_FALSE(kept.ok);
    EXPECT_FALSE(kept.error.empty());
    EXPECT_FALSE(store.holdsCopy(rec->serialText(), rec->startTime, 10));
}
