// The description rule on real sentences: UTF-8 stays UTF-8, Chinese GBK stays Chinese, Western
// Windows-1252 stays Western; the system language only breaks a tie.
#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/TextCodec.h"

using namespace thermivo;

namespace {
std::string gbk(const char* utf8) {
    // The test sentences below, as a Chinese system stores them.
    static const std::pair<const char*, const char*> table[] = {
        {"冷库温度", "\xC0\xE4\xBF\xE2\xCE\xC2\xB6\xC8"},
        {"疫苗 2号", "\xD2\xDF\xC3\xE7 2\xBA\xC5"},
        {"库", "\xBF\xE2"},
    };
    for (const auto& [text, bytes] : table)
        if (std::string(text) == utf8) return bytes;
    return {};
}
constexpr std::uint16_t kEnglish = kLanguageEnglishUs;
constexpr std::uint16_t kChinese = kLanguageChinesePrc;
}  // namespace

TEST(DescriptionCodec, WesternSentencesInWindows1252StayWestern) {
    const std::pair<const char*, const char*> sentences[] = {
        {"K\xFChlraum S\xFC"
         "d",
         "Kühlraum Süd"},
        {"Gefrierschrank \xC4rztezimmer, T\xFCr links", "Gefrierschrank Ärztezimmer, Tür links"},
        {"Chambre froide n\xB0"
         "2 \x96 entr\xE9"
         "e c\xF4t\xE9 cour",
         "Chambre froide n°2 – entrée côté cour"},
        {"Cr\xE8me br\xFBl\xE9"
         "e \x80"
         "5",
         "Crème brûlée €5"},
        {"caf\xE9", "café"},
    };
    for (const std::uint16_t language : {kEnglish, kChinese}) {
        for (const auto& [bytes, text] : sentences) {
            EXPECT_EQ(descriptionEncoding(bytes, false, language), DescriptionEncoding::Windows1252) << text;
            EXPECT_EQ(descriptionToUtf8(bytes, false, language), text) << language;
        }
    }
}

TEST(DescriptionCodec, ChineseGbkStaysChineseAlsoWhenCutInHalf) {
    for (const std::uint16_t language : {kEnglish, kChinese}) {
        EXPECT_EQ(descriptionToUtf8(gbk("冷库温度"), false, language), "冷库温度");
        EXPECT_EQ(descriptionToUtf8("Box " + gbk("疫苗 2号"), false, language), "Box 疫苗 2号");
        // A full block whose last byte is the first half of a character: the half is dropped.
        const std::string cut = std::string(59, 'a') + gbk("冷库温度").substr(0, 5);
        ASSERT_EQ(cut.size(), 64u);
        EXPECT_EQ(descriptionEncoding(cut, true, language), DescriptionEncoding::Gbk);
        EXPECT_EQ(descriptionToUtf8(cut, true, language), std::string(59, 'a') + "冷库");
    }
}

TEST(DescriptionCodec, Utf8WinsAndOneAmbiguousPairFollowsTheSystemLanguage) {
    EXPECT_EQ(descriptionToUtf8("Kühlraum 冷库 Süd – 2°C", false, kEnglish), "Kühlraum 冷库 Süd – 2°C");
    EXPECT_EQ(descriptionEncoding("plain", false, kChinese), DescriptionEncoding::Utf8);
    // "\xBF\xE2" is "库" in GBK and "¿â" in Windows-1252: nothing in the bytes decides.
    EXPECT_EQ(descriptionToUtf8(gbk("库"), false, kChinese), "库");
    EXPECT_EQ(descriptionToUtf8(gbk("库"), false, kEnglish), "¿â");
    EXPECT_EQ(descriptionToUtf8(gbk("库"), false, 3076), "库");  // Chinese (Hong Kong)
    // A lone lead byte at the end of a short text is no cut character: Western.
    EXPECT_EQ(descriptionToUtf8("Lager \xC4", false, kChinese), "Lager Ä");
}
