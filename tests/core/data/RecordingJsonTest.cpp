#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "RecordingJson.h"
#include "TestSupport.h"
#include "data/RecordFile.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {
std::vector<std::uint8_t> encoded(const Recording& rec) {
    return RecordFile::encode(rec, {1, 2, 3, 4, 5});
}
}  // namespace

TEST(RecordingJson, RoundTripThroughJsonAndTheRecordFile) {
    ScopedTimeZone tz("UTC");
    ScopedLanguage lang(1033);
    auto rec = makeRecording(KindTempHumi, 40);
    rec->description() = "Bob's \"freezer\"\t冷\x01";
    const std::string text = recordingToJson(*rec);
    const auto json = nlohmann::json::parse(text);
    EXPECT_EQ(json["labels"].size(), 20u);
    EXPECT_EQ(json["humidity"].size(), 40u);
    EXPECT_EQ(json["description"], "Bob's \"freezer\"\t冷\x01");
    auto copy = std::make_unique<Recording>();
    JsonProblem problem;
    ASSERT_TRUE(recordingFromJson(text, *copy, &problem)) << problem.describe();
    EXPECT_EQ(encoded(*copy), encoded(*rec));
}

TEST(RecordingJson, OneKeyALineAndNumbersAsShortAsTheyReadBack) {
    auto rec = makeRecording(KindTemp, 3);
    rec->tempMax = 0.1f;
    rec->tempMin = -25.0f;
    rec->tempAvg = std::nanf("");
    rec->temperature[0] = 12.25f;
    rec->temperature[1] = 33.3f;
    rec->temperature[2] = 1e-7f;
    rec->description() = "bad \xC3 byte";
    const std::string text = recordingToJson(*rec);
    EXPECT_EQ(text.rfind("{\n  \"kind\": 1,\n  \"serial\": ", 0), 0u) << text;
    EXPECT_NE(text.find("\n  \"tempMax\": 0.1,\n  \"tempMin\": -25,\n  \"tempAvg\": null,\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n  \"temperature\": [12.25,33.3,1e-07],\n  \"humidity\": [],\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 4), "]\n}\n");
    // Not UTF-8 cannot be JSON: the byte is replaced, the rest of the export stands.
    const auto json = nlohmann::json::parse(text);
    EXPECT_EQ(json["description"], "bad \xEF\xBF\xBD byte");
}

TEST(RecordingJson, MalformedTextsSayWhereAndLeaveTheRecordingUntouched) {
    auto rec = makeRecording(KindTemp, 3);
    const auto before = encoded(*rec);
    struct Case {
        const char* text;
        std::size_t line, column;
        const char* says;
    };
    const Case cases[] = {
        {"", 1, 1, "unexpected end of input"},
        {"{\"kind\": 1,\n  \"temperature\": [1,", 2, 21, "unexpected end of input"},
        {"{\"a\": 1} x", 1, 10, "expected end of input"},
        {"{\"kind\" 1}", 1, 9, "expected ':'"},
        {"[1]", 1, 1, "must be a JSON object"},
        {"\n\n   {\"kind\": 7}", 3, 13, "\"kind\" must be a whole number from 0 to 4"},
        {"{\"kind\": \"1\"}", 1, 10, "\"kind\" must be a number"},
        {"{\"serial\": \"a\", \"kind\": 1, \"serial\": 5}", 1, 38, "\"serial\" must be a string"},
        {"{\"kind\": 1, \"temperature\": [1, 2.5e1,\n 3 , \"x\"]}", 2, 6, "item 4 is not one"},
        {"{\"kind\": 1, \"temperature\": [[1], 2]}", 1, 29, "item 1 is not one"},
        {"{\"kind\": 1, \"temperature\": 5}", 1, 28, "must be an array of numbers"},
        {"{\"kind\": 1, \"sampleCount\": 5, \"temperature\": [1]}", 1, 46, "\"sampleCount\" is 5"},
        {"{\"sampleCount\": 60001}", 1, 17, "from 0 to 60000"},
        {"{\"kind\": 4, \"temperature\": [1, 2], \"humidity\": [1]}", 1, 48, "\"humidity\" holds 1 values"},
        {"{\"intervalSeconds\": 1.5e0}", 1, 21, "\"intervalSeconds\" must be a whole number"},
        {"{\"nested\": {\"kind\": \"x\"}, \"kind\": true}", 1, 35, "\"kind\" must be a number"},
        {"{\"tempMax\": -1e39}", 1, 13, "\"tempMax\" is too large"},
        {"{\"kind\": 1,\n \"startTime\": 13936e68000}", 2, 25, "number overflow"},
        {"{\"temperature\": [1, 1e300]}", 1, 21, "item 2 is too large"},
    };
    for (const auto& c : cases) {
        JsonProblem problem;
        EXPECT_FALSE(recordingFromJson(c.text, *rec, &problem)) << c.text;
        EXPECT_EQ(problem.line, c.line) << c.text << "\n" << problem.describe();
        EXPECT_EQ(problem.column, c.column) << c.text << "\n" << problem.describe();
        EXPECT_NE(problem.message.find(c.says), std::string::npos) << c.text << "\n" << problem.describe();
        EXPECT_NE(problem.describe().find(std::to_string(problem.offset)), std::string::npos);
    }
    EXPECT_EQ(encoded(*rec), before);

    // Deep nesting is refused or read without exhausting the stack.
    JsonProblem problem;
    EXPECT_FALSE(recordingFromJson(std::string(100000, '['), *rec, &problem));
    EXPECT_FALSE(recordingFromJson(std::string(100000, '[') + std::string(100000, ']'), *rec, &problem));
    EXPECT_EQ(encoded(*rec), before);
}

TEST(RecordingJson, MinimalInputFillsTheRest) {
    auto rec = makeRecording(KindTemp, 3);
    JsonProblem problem;
    ASSERT_TRUE(recordingFromJson(
        R"({"kind": 1, "serial": "DI000000001", "startTime": 1000, "intervalSeconds": 60,
            "description": "\u51b7\ud83d\ude00", "temperature": [1.5, 2]})",
        *rec, &problem))
        << problem.describe();
    EXPECT_EQ(rec->sampleCount, 2);
    EXPECT_EQ(rec->samplesLoaded, 2);
    EXPECT_EQ(rec->stopTime, 1060);  // the last sample's time
    EXPECT_FALSE(rec->tempAlarmOn);
    EXPECT_EQ(rec->description(), "冷\xF0\x9F\x98\x80");
    EXPECT_EQ(rec->temperature[0], 1.5f);
}
