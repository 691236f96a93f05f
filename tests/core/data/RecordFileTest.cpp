#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "app/Format.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {
constexpr std::array<std::uint8_t, 5> kNumbers{7, 45, 200, 0, 99};

// The plain body of a file image, undoing the scrambling with the file's own header numbers.
std::string plainBody(const std::vector<std::uint8_t>& image) {
    std::array<std::uint8_t, 5> n{};
    for (std::size_t k = 0; k < 5; ++k)
        n[k] = static_cast<std::uint8_t>(
            std::stoi(std::string(image.begin() + 3 * k, image.begin() + 3 * k + 3)));
    const std::uint8_t key = RecordFile::keyOf(n);
    std::string body;
    std::uint8_t chain = RecordFile::kChainSeed;
    for (std::size_t i = 15; i + 64 < image.size(); ++i) {
        chain = RecordFile::unscrambleByte(image[i], i, key, chain);
        body += static_cast<char>(chain);
    }
    return body;
}

// A file image from a plain body, scrambled with kNumbers, with an empty description block.
std::vector<std::uint8_t> imageOf(const std::string& body) {
    const std::string header = "  7 45200  0 99";
    std::vector<std::uint8_t> image(header.begin(), header.end());
    std::uint8_t chain = RecordFile::kChainSeed;
    for (std::size_t i = 0; i < body.size(); ++i) {
        image.push_back(RecordFile::scrambleByte(static_cast<std::uint8_t>(body[i]), 15 + i,
                                                 RecordFile::keyOf(kNumbers), chain));
        chain = static_cast<std::uint8_t>(body[i]);
    }
    image.resize(image.size() + 64, 0);
    return image;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

TEST(RecordFileFormat, SizesHeaderAndFieldsOfThreeSamples) {
    ScopedTimeZone tz("UTC");
    ScopedLanguage lang(1033);
    for (const auto& [kind, size] :
         {std::pair{KindTemp, 182u}, {KindTempCompact, 162u}, {KindTempHumi, 238u}, {KindTempUT, 182u}}) {
        auto rec = makeRecording(kind, 3);
        EXPECT_EQ(RecordFile::encode(*rec, kNumbers).size(), size) << kind;
    }

    auto rec = makeRecording(KindTemp, 3);
    rec->values[Recording::ValSerial] = "DI201400001";
    rec->startTime = *fromLocal(2014, 3, 5, 8, 7);
    rec->stopTime = *fromLocal(2014, 3, 5, 8, 27);
    rec->intervalSeconds = 600;
    rec->temperature[0] = -12.5f;
    rec->temperature[1] = 3.0f;
    rec->temperature[2] = 100.0f;
    const auto image = RecordFile::encode(*rec, kNumbers);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 15), "  7 45200  0 99");
    const std::string body = plainBody(image);
    EXPECT_EQ(body.substr(0, 11), "DI201400001");
    EXPECT_EQ(body.substr(11, 12), "201403050807");
    EXPECT_EQ(body.substr(35, 5), "00010");
    EXPECT_EQ(body.substr(40, 7), "0000003");
    EXPECT_EQ(body.substr(82, 21), "-12.50 3.00   100.00 ");

    rec->kind = KindTempCompact;
    rec->values[Recording::ValSerial] = "D0201400001";
    const std::string compact = plainBody(RecordFile::encode(*rec, kNumbers));
    EXPECT_EQ(compact.substr(35, 2), "10");
    EXPECT_EQ(compact.substr(37, 4), "0003");
    EXPECT_EQ(compact.substr(62, 7), "-12.50 ");
}

TEST(RecordFileFormat, ScramblingIsReversibleAndAvoidsTheEndOfFileByte) {
    int escapes = 0;
    for (std::size_t offset = 15; offset < 15 + 600; ++offset) {
        for (unsigned plain = 0; plain < 128; ++plain) {
            const std::uint8_t key = static_cast<std::uint8_t>(offset * 7),
                               chain = static_cast<std::uint8_t>(plain ^ 0x2A);
            const std::uint8_t raw =
                RecordFile::scrambleByte(static_cast<std::uint8_t>(plain), offset, key, chain);
            ASSERT_NE(raw, 0x1A);
            if (raw == 0x9A) ++escapes;
            ASSERT_EQ(RecordFile::unscrambleByte(raw, offset, key, chain), plain) << offset << " " << plain;
        }
    }
    EXPECT_GT(escapes, 0);  // the 0x1A case really occurred and read back
    EXPECT_EQ(RecordFile::unscrambleByte(0x85, 20, 1, 2), 0);
    EXPECT_EQ(RecordFile::positionMask(0x1234), 0x12 ^ 0x34);
    EXPECT_EQ(RecordFile::keyOf({7, 45, 200, 0, 99}), (0 * 99 + (7 * 45) / 200) & 0xFF);
    EXPECT_EQ(RecordFile::keyOf({255, 255, 1, 255, 255}), (255 * 255 + 255 * 255) & 0xFF);
}

TEST(RecordFileRoundTrip, EveryKindReadsBackAsWritten) {
    ScopedTimeZone tz("Europe/Berlin");
    ScopedLanguage lang(1033);
    for (std::int32_t kind : {KindTemp, KindTempCompact, KindTempUT, KindTempHumi}) {
        auto rec = makeRecording(kind, 50, *fromLocal(2014, 3, 30, 1, 0), 600);
        rec->description() = "Freezer 3";
        const auto image = RecordFile::encode(*rec, RecordFile::drawHeaderNumbers());
        ASSERT_FALSE(image.empty());
        auto back = std::make_unique<Recording>();
        std::string error;
        ASSERT_TRUE(RecordFile::decode(image, *back, &error)) << error;
        EXPECT_EQ(back->kind, kind);
        EXPECT_EQ(back->serialText(), rec->serialText());
        EXPECT_EQ(back->startTime, rec->startTime);
        EXPECT_EQ(back->stopTime, rec->stopTime);
        EXPECT_EQ(back->values[Recording::ValStart], "2014-3-30 01:00");
        EXPECT_EQ(back->values[Recording::ValStop], formatLocalMinutes(rec->stopTime));
        EXPECT_EQ(back->intervalSeconds, 600);
        EXPECT_EQ(back->values[Recording::ValInterval], "00:10:00");
        EXPECT_EQ(back->sampleCount, 50);
        EXPECT_EQ(back->samplesLoaded, 50);
        EXPECT_EQ(back->description(), "Freezer 3");
        EXPECT_TRUE(back->dataFlags & Recording::kSamplesPresent);
        for (std::size_t i = 0; i < 50; ++i) {
            EXPECT_FLOAT_EQ(back->temperature[i], rec->temperature[i]);
            if (kind == KindTempHumi) {
                EXPECT_FLOAT_EQ(back->humidity[i], rec->humidity[i]);
            }
        }
        if (kind == KindTempCompact) {
            EXPECT_EQ(back->tempUpper, 0.0f);
            EXPECT_EQ(back->tempLower, 0.0f);
            EXPECT_FALSE(back->tempAlarmOn);
            EXPECT_EQ(back->validMask, 0x1FFu);  // rows up to Temp Avg and the description
        } else {
            EXPECT_TRUE(back->tempAlarmOn);
            EXPECT_EQ(back->values[Recording::ValTempUpper], "46.40°F");
        }
        if (kind == KindTempHumi) {
            EXPECT_TRUE(back->humiAlarmOn);
            EXPECT_EQ(back->values[Recording::ValHumiUpper], "65.00%RH");
            EXPECT_EQ(back->validMask, 0xFFFFu);
        }
    }
}

TEST(RecordFileRoundTrip, DescriptionBlockVariants) {
    ScopedTimeZone tz("UTC");
    ScopedLanguage lang(1033);
    auto rec = makeRecording(KindTemp, 3);
    auto back = std::make_unique<Recording>();

    // All-zero block: the kind's default.
    rec->description() = "";
    ASSERT_TRUE(RecordFile::decode(RecordFile::encode(*rec, kNumbers), *back));
    EXPECT_EQ(back->description(), "Temp Record");

    // Block cut off: still read, default description.
    rec->description() = "Freezer 3";
    auto image = RecordFile::encode(*rec, kNumbers);
    image.resize(image.size() - 64);
    ASSERT_TRUE(RecordFile::decode(image, *back));
    EXPECT_EQ(back->description(), "Temp Record");

    // UTF-8 text is cut on a character boundary within 64 bytes and survives.
    std::string chinese;
    for (int i = 0; i < 30; ++i) chinese += "冷";  // 90 bytes
    rec->description() = chinese;
    image = RecordFile::encode(*rec, kNumbers);
    ASSERT_TRUE(RecordFile::decode(image, *back));
    EXPECT_EQ(back->description(), utf8Left(chinese, 21));

    // Legacy blocks: GBK bytes, then bytes that are neither UTF-8 nor GBK (Windows-1252).
    image = RecordFile::encode(*rec, kNumbers);
    const std::size_t block = image.size() - 64;
    const std::string gbk = "\xC0\xE4\xB2\xD8\xBF\xE2";  // 冷藏库
    std::fill(image.begin() + static_cast<long>(block), image.end(), 0);
    std::copy(gbk.begin(), gbk.end(), image.begin() + static_cast<long>(block));
    ASSERT_TRUE(RecordFile::decode(image, *back));
    EXPECT_EQ(back->description(), "冷藏库");
    const std::string latin = "Caf\xE9 \x80";
    std::fill(image.begin() + static_cast<long>(block), image.end(), 0);
    std::copy(latin.begin(), latin.end(), image.begin() + static_cast<long>(block));
    ASSERT_TRUE(RecordFile::decode(image, *back));
    EXPECT_EQ(back->description(), "Café €");

    // A full 64-byte block has no terminating zero.
    rec->description() = std::string(70, 'x');
    ASSERT_TRUE(RecordFile::decode(RecordFile::encode(*rec, kNumbers), *back));
    EXPECT_EQ(back->description(), std::string(64, 'x'));
}

TEST(RecordFileRoundTrip, ZeroSamplesAreAcceptedAndKeepTheArrays) {
    ScopedTimeZone tz("UTC");
    auto rec = makeRecording(KindTemp, 0);
    auto back = std::make_unique<Recording>();
    back->temperature[0] = 42.0f;
    ASSERT_TRUE(RecordFile::decode(RecordFile::encode(*rec, kNumbers), *back));
    EXPECT_EQ(back->samplesLoaded, 0);
    EXPECT_EQ(back->temperature[0], 42.0f);
}

TEST(RecordFileReject, DamagedForeignAndOversizedFiles) {
    ScopedTimeZone tz("UTC");
    auto rec = makeRecording(KindTemp, 3);
    const auto good = RecordFile::encode(*rec, kNumbers);
    auto back = std::make_unique<Recording>();
    std::string error;

    EXPECT_FALSE(
        RecordFile::decode(std::vector<std::uint8_t>(good.begin(), good.begin() + 76), *back, &error));

    auto foreign = good;  // first plain byte not D, i or U
    foreign[15] = RecordFile::scrambleByte('X', 15, RecordFile::keyOf(kNumbers), RecordFile::kChainSeed);
    EXPECT_FALSE(RecordFile::decode(foreign, *back));

    auto damaged = good;  // a letter among the digits of the start time
    damaged[15 + 14] ^= 0x40;
    EXPECT_FALSE(RecordFile::decode(damaged, *back));

    auto zeroC = good;
    zeroC[6] = ' ', zeroC[7] = ' ', zeroC[8] = '0';
    EXPECT_FALSE(RecordFile::decode(zeroC, *back, &error));
    EXPECT_EQ(error, "header number C is 0");

    std::string body = plainBody(good);  // count says 4, three samples present
    body.replace(40, 7, "0000004");
    EXPECT_FALSE(RecordFile::decode(imageOf(body), *back));
    EXPECT_EQ(back->serialText(), rec->serialText());  // header fields were filled before the rejection
    EXPECT_EQ(back->sampleCount, 4);

    // A serial number with a letter among characters 5-11 is written, then refused on reading.
    rec->values[Recording::ValSerial] = "DI12345678X";
    const auto badSerial = RecordFile::encode(*rec, kNumbers);
    ASSERT_FALSE(badSerial.empty());
    EXPECT_FALSE(RecordFile::decode(badSerial, *back));

    // Year outside 1900..3000.
    rec = makeRecording(KindTemp, 3);
    body = plainBody(good);
    body.replace(11, 4, "1899");
    EXPECT_FALSE(RecordFile::decode(imageOf(body), *back));

    // More than the arrays hold: 60001 samples announced and present.
    body = plainBody(good);
    body.replace(40, 7, "0060001");
    body.resize(82);
    for (int i = 0; i < 60001; ++i) body += "1.00   ";
    const auto image = imageOf(body);
    EXPECT_FALSE(RecordFile::decode(image, *back, &error));
    EXPECT_LE(back->samplesLoaded, Recording::kCapacity);
}

TEST(RecordFileReject, WithoutTheBlockTheLastBodyBytesGoUnchecked) {
    // Found by fuzzing: a compact file of 0 samples without its description block is all "last 64 bytes",
    // so letters in the serial number pass; the same recording written again is refused on reading.
    ScopedTimeZone tz("UTC");
    std::string body =
        "ihhhi232223"
        "223509030823"
        "222509020006"
        "00"
        "0000"
        "0.00   0.00   0.00   ";
    ASSERT_EQ(body.size(), 62u);
    auto image = imageOf(body);
    image.resize(image.size() - 64);
    auto rec = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(image, *rec));
    EXPECT_EQ(rec->kind, KindTempCompact);
    EXPECT_EQ(rec->samplesLoaded, 0);
    EXPECT_EQ(rec->values[Recording::ValStart], "2235-9-3 08:23");
    const auto again = RecordFile::encode(*rec, kNumbers);
    ASSERT_FALSE(again.empty());
    EXPECT_FALSE(RecordFile::decode(again, *rec));
}

TEST(RecordFileWrite, ValuesThatDoNotFitFailCleanlyWithTheirReason) {
    ScopedTimeZone tz("UTC");
    std::string error;
    SaveProblem problem = SaveProblem::None;
    auto rec = makeRecording(KindTemp, 3);
    rec->temperature[1] = 99999.99f;  // neither "99999.99" nor "100000.0" fits, and "100000" is another value
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::ValueTooWide);
    rec->temperature[1] = 1234567.5f;
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::ValueTooWide);
    rec->tempMax = -99999.5f;
    rec->temperature[1] = 1.0f;
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::ValueTooWide);

    rec = makeRecording(KindTempCompact, 3, 1393668000, 100 * 60);
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::CompactLayoutFull);
    rec = makeRecording(KindTempCompact, 10000, 1393668000, 60);
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::CompactLayoutFull);
    rec = makeRecording(KindTempCompact, 9999, 1393668000, 99 * 60);
    EXPECT_FALSE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::None);
    rec = makeRecording(KindTemp, 3);
    EXPECT_TRUE(RecordFile::encode(*rec, {1, 2, 0, 4, 5}).empty());
    rec->sampleCount = 60001;
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::TooManySamples);
    rec = makeRecording(KindTemp, 3);
    rec->values[Recording::ValSerial] =
        "DI20\xC3\xA9"
        "400007";
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::SerialNotAscii);
    rec = makeRecording(KindTemp, 3, -2300000000LL);  // 1897
    EXPECT_TRUE(RecordFile::encode(*rec, kNumbers, &error, &problem).empty());
    EXPECT_EQ(problem, SaveProblem::TimeOutOfRange);
}

TEST(RecordFileWrite, WidestTextThatFitsForValuesBeyondTwoDecimals) {
    ScopedTimeZone tz("UTC");
    auto rec = makeRecording(KindTemp, 4);
    rec->temperature[0] = Recording::kNoValue;  // the no-value marker, "-1000.00" in "%4.2f"
    rec->temperature[1] = 12345.6f;
    rec->temperature[2] = 10000.0f;
    rec->temperature[3] = -123456.0f;
    const auto image = RecordFile::encode(*rec, kNumbers);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(plainBody(image).substr(82, 28), "-1000.012345.610000.0-123456");
    auto back = std::make_unique<Recording>();
    ASSERT_TRUE(RecordFile::decode(image, *back));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(back->temperature[i], rec->temperature[i]) << i;
    // Values that fit keep the two decimals of "%4.2f".
    rec->tempMax = 6.1f;
    rec->tempMin = -12.345f;
    EXPECT_EQ(plainBody(RecordFile::encode(*rec, kNumbers)).substr(47, 14), "6.10   -12.35 ");
}

TEST(RecordFileWrite, SavesThroughATemporaryFileAndNeverDamagesTheOldOne) {
    ScopedTimeZone tz("UTC");
    TempDir dir;
    const std::string path = dir.file("cold room.kvlu");
    auto rec = makeRecording(KindTempHumi, 120);
    {
        RecordFile file(path, RecordFile::ModeWrite);
        ASSERT_TRUE(file.isOpen());
        ASSERT_TRUE(file.write(*rec)) << file.error();
        EXPECT_NE(file.headerNumbers()[2], 0);
    }
    const auto before = readBytes(path);
    EXPECT_EQ(before.size(), 196u + 14u * 120u);

    rec->humidity[7] = 1234567.5f;  // does not fit: the save must fail and leave the old file
    {
        RecordFile file(path, RecordFile::ModeWrite);
        EXPECT_FALSE(file.write(*rec));
        EXPECT_FALSE(file.error().empty());
    }
    EXPECT_EQ(readBytes(path), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "cold room.kvlu");  // no temporary file left behind

    RecordFile reader(path, RecordFile::ModeRead);
    ASSERT_TRUE(reader.isOpen());
    auto back = std::make_unique<Recording>();
    EXPECT_TRUE(reader.read(*back)) << reader.error();
    EXPECT_EQ(back->samplesLoaded, 120);

    EXPECT_FALSE(RecordFile(dir.file("missing/x.kvlu"), RecordFile::ModeWrite).isOpen());
    EXPECT_FALSE(RecordFile(dir.file("missing.kvlu"), RecordFile::ModeRead).isOpen());
    EXPECT_FALSE(RecordFile(dir.path().string(), RecordFile::ModeRead).isOpen());  // a folder
    writeBytes(dir.file("short.kvlu"), {'1', '2', '3'});
    RecordFile shortFile(dir.file("short.kvlu"), RecordFile::ModeRead);
    EXPECT_FALSE(shortFile.read(*back));
}
