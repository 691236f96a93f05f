// Every record file the reader accepts can be saved again and reads back equal; descriptions written by
// other programs in GBK or Windows-1252 show as written and survive the save byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "data/RecordFile.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

constexpr std::array<std::uint8_t, 5> kNumbers{3, 141, 59, 26, 53};
const std::filesystem::path kRecords = std::filesystem::path(THERMIVO_TEST_DATA_DIR) / "records";

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string descriptionBlock(const std::vector<std::uint8_t>& image) {
    return std::string(image.end() - 64, image.end());
}

void expectSameRecording(const Recording& a, const Recording& b, const std::string& name) {
    EXPECT_EQ(a.kind, b.kind) << name;
    EXPECT_EQ(a.serialText(), b.serialText()) << name;
    EXPECT_EQ(a.startTime, b.startTime) << name;
    EXPECT_EQ(a.stopTime, b.stopTime) << name;
    EXPECT_EQ(a.intervalSeconds, b.intervalSeconds) << name;
    EXPECT_EQ(a.sampleCount, b.sampleCount) << name;
    EXPECT_EQ(a.description(), b.description()) << name;
    const float statsA[] = {a.tempMax, a.tempMin, a.tempAvg, a.tempUpper, a.tempLower,
                            a.humiMax, a.humiMin, a.humiAvg, a.humiUpper, a.humiLower};
    const float statsB[] = {b.tempMax, b.tempMin, b.tempAvg, b.tempUpper, b.tempLower,
                            b.humiMax, b.humiMin, b.humiAvg, b.humiUpper, b.humiLower};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(statsA[k], statsB[k]) << name << " statistic " << k;
    for (int i = 0; i < a.sampleCount && i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(a.temperature[k], b.temperature[k]) << name << " sample " << i;
        if (a.kind == KindTempHumi) {
            EXPECT_EQ(a.humidity[k], b.humidity[k]) << name << " sample " << i;
        }
    }
}

}  // namespace

TEST(RecordFileForeignFiles, EveryTestDataFileSavesAgainAndReadsBackEqual) {
    ScopedTimeZone berlin("Europe/Berlin");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kRecords)) {
        if (entry.path().extension() != ".kvlu") continue;
        ++files;
        const std::string name = entry.path().filename().string();
        const auto original = readFile(entry.path());
        auto first = std::make_unique<Recording>();
        std::string error;
        ASSERT_TRUE(RecordFile::decode(original, *first, &error)) << name << ": " << error;

        SaveProblem problem = SaveProblem::None;
        const auto saved = RecordFile::encode(*first, kNumbers, &error, &problem);
        ASSERT_FALSE(saved.empty()) << name << ": " << error;
        EXPECT_EQ(problem, SaveProblem::None);
        auto second = std::make_unique<Recording>();
        ASSERT_TRUE(RecordFile::decode(saved, *second, &error)) << name << ": " << error;
        expectSameRecording(*first, *second, name);
        // Saving the re-read recording gives the very same file.
        EXPECT_EQ(RecordFile::encode(*second, kNumbers), saved) << name;
        // A description block from another program is written back as it was.
        if (original.size() == saved.size()) {
            EXPECT_EQ(descriptionBlock(saved), descriptionBlock(original)) << name;
        }
    }
    EXPECT_GE(files, 7);
}

TEST(RecordFileForeignFiles, DescriptionsShowAsTheirWriterMeantThem) {
    ScopedTimeZone utc("UTC");
    const std::pair<const char*, const char*> cases[] = {
        // 64 bytes of GBK cut in the middle of the 32nd character: the half character is dropped.
        {"gbk-cut-in-half.kvlu", "B冷库温度记录：一号冷藏室北侧货架第三层，疫苗与血液制品专用存放"},
        {"gbk-whole.kvlu", "疫苗冷藏箱 2号"},
        {"windows1252-kuehlraum.kvlu", "Kühlraum Süd"},
        {"windows1252-chambre.kvlu", "Chambre froide n°2 – entrée côté cour"},
        {"utf8-mixed.kvlu", "Kühlraum 冷库 Süd – 2°C"},
        {"no-value-marker.kvlu", "Probe removed"},
        {"no-description-block.kvlu", "Temp Record"},
    };
    for (const std::uint16_t language : {kLanguageEnglishUs, kLanguageChinesePrc}) {
        ScopedLanguage lang(language);
        for (const auto& [file, expected] : cases) {
            if (language == kLanguageChinesePrc && std::string(file) == "no-description-block.kvlu") continue;
            auto rec = std::make_unique<Recording>();
            ASSERT_TRUE(RecordFile::decode(readFile(kRecords / file), *rec)) << file;
            EXPECT_EQ(rec->description(), expected) << file << " language " << language;
        }
    }
}

TEST(RecordFileForeignFiles, SavedFileKeepsForeignDescriptionBytesUntilTheTextChanges) {
    ScopedTimeZone utc("UTC");
    TempDir dir;
    const auto original = readFile(kRecords / "windows1252-kuehlraum.kvlu");
    auto rec = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(original, *rec));
    {
        RecordFile file(dir.file("copy.kvlu"), RecordFile::ModeWrite);
        ASSERT_TRUE(file.write(*rec)) << file.error();
    }
    const auto copy = readFile(dir.file("copy.kvlu"));
    EXPECT_EQ(descriptionBlock(copy), descriptionBlock(original));
    EXPECT_EQ(descriptionBlock(copy).substr(0, 13), std::string("K\xFChlraum S\xFC"
                                                                "d") +
                                                        '\0');

    // Once the user's text differs, the new text is written (as UTF-8, which reads back as itself).
    rec->description() = "Kühlraum Nord";
    const auto changed = RecordFile::encode(*rec, kNumbers);
    EXPECT_EQ(descriptionBlock(changed).substr(0, 15), std::string("Kühlraum Nord\0", 15));
    auto back = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(changed, *back));
    EXPECT_EQ(back->description(), "Kühlraum Nord");
}

TEST(RecordFileForeignFiles, NoValueMarkerAndWideValuesOfAFileAreWrittenAsRead) {
    ScopedTimeZone utc("UTC");
    auto rec = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(readFile(kRecords / "no-value-marker.kvlu"), *rec));
    EXPECT_EQ(rec->temperature[0], Recording::kNoValue);
    EXPECT_EQ(rec->temperature[2], 12345.6f);
    const auto saved = RecordFile::encode(*rec, kNumbers);
    ASSERT_FALSE(saved.empty());
    auto back = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(saved, *back));
    EXPECT_EQ(back->temperature[0], Recording::kNoValue);
    EXPECT_EQ(back->temperature[3], Recording::kNoValue);
    EXPECT_EQ(back->tempMax, 12345.6f);
    EXPECT_EQ(back->tempAvg, 1234.56f);
}
