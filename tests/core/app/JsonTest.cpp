#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/Json.h"
#include "data/RecordFile.h"
#include "data/RecordingJson.h"

using namespace thermivo;
using namespace thermivo::testing;

TEST(Json, ParsesTheDocumentsTheToolReadsAndRejectsMalformedOnes) {
    std::string error;
    const auto v = parseJson(R"( {"a": [1, -2.5e1, true, null], "s": "Bob's \"x\" \u51b7\ud83d\ude00\n", "o": {}} )", &error);
    ASSERT_TRUE(v) << error;
    ASSERT_TRUE(v->find("a")->isArray());
    EXPECT_EQ(v->find("a")->asArray()[1].asNumber(), -25.0);
    EXPECT_TRUE(v->find("a")->asArray()[3].isNull());
    EXPECT_EQ(v->find("s")->asString(), "Bob's \"x\" 冷\xF0\x9F\x98\x80\n");
    EXPECT_EQ(v->find("missing"), nullptr);

    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"abc", "01x", "[1] 2", "{\"a\":nan}", "\"\\ud800\"",
                            "\"tab\there\"", "[1e999]"}) {
        EXPECT_FALSE(parseJson(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(parseJson(std::string(1000, '['), &error));  // nesting bounded, no stack overflow
}

TEST(Json, QuotingAndShortestNumbers) {
    EXPECT_EQ(jsonQuote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(jsonNumber(25.5f), "25.5");
    EXPECT_EQ(jsonNumber(0.1f), "0.1");
    EXPECT_EQ(jsonNumber(1.0 / 0.0), "null");
}

TEST(RecordingJson, RoundTripThroughJsonAndTheRecordFile) {
    ScopedTimeZone tz("UTC");
    ScopedLanguage lang(1033);
    auto rec = makeRecording(KindTempHumi, 40);
    rec->description() = "Bob's freezer";
    auto json = parseJson(recordingToJson(*rec));
    ASSERT_TRUE(json);
    EXPECT_EQ(json->find("labels")->asArray().size(), 20u);
    EXPECT_EQ(json->find("humidity")->asArray().size(), 40u);
    auto copy = std::make_unique<Recording>();
    std::string error;
    ASSERT_TRUE(recordingFromJson(*json, *copy, &error)) << error;
    EXPECT_EQ(RecordFile::encode(*copy, {1, 2, 3, 4, 5}), RecordFile::encode(*rec, {1, 2, 3, 4, 5}));
}

TEST(RecordingJson, MalformedRecordingsLeaveTheRecordingUntouched) {
    auto rec = makeRecording(KindTemp, 3);
    const auto before = RecordFile::encode(*rec, {1, 2, 3, 4, 5});
    std::string error;
    for (const char* bad : {R"([1])", R"({"kind": 7})", R"({"kind": "1"})", R"({"kind": 1, "sampleCount": 5, "temperature": [1]})",
                            R"({"kind": 1, "temperature": [1, "x"]})", R"({"serial": 5})", R"({"sampleCount": 60001})",
                            R"({"kind": 4, "temperature": [1, 2], "humidity": [1]})", R"({"intervalSeconds": 1.5})"}) {
        const auto json = parseJson(bad);
        ASSERT_TRUE(json) << bad;
        EXPECT_FALSE(recordingFromJson(*json, *rec, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(RecordFile::encode(*rec, {1, 2, 3, 4, 5}), before);

    const auto minimal = parseJson(R"({"kind": 1, "serial": "DI000000001", "temperature": [1.5, 2]})");
    ASSERT_TRUE(recordingFromJson(*minimal, *rec, &error)) << error;
    EXPECT_EQ(rec->sampleCount, 2);
    EXPECT_EQ(rec->samplesLoaded, 2);
    EXPECT_FALSE(rec->tempAlarmOn);
}
