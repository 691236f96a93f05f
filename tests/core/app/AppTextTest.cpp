#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/CommandLine.h"
#include "app/Format.h"
#include "app/UiText.h"

using namespace thermivo;

TEST(UiText, LanguageSelectsChineseOnlyFor2052) {
    EXPECT_EQ(text(28, 2052), " 数据下载完成.");
    for (std::uint16_t id : {1033, 1028, 3076, 0}) EXPECT_EQ(text(28, id), " Data download is complete.");
}

TEST(UiText, UndefinedAndBlankIdsAreEmpty) {
    for (int id : {21, 22, 23, 24, 82, 99, 103, 129, 133, 140, 144, 146, 151, -1, 1000}) {
        EXPECT_EQ(text(id, 2052), "") << id;
        EXPECT_EQ(text(id, 1033), "") << id;
    }
    EXPECT_TRUE(isTextDefined(21));
    EXPECT_FALSE(isTextDefined(82));
}

TEST(UiText, ExactStringsOfTheTable) {
    EXPECT_EQ(text(52, 1033), " ID");
    EXPECT_EQ(text(52, 2052), "ID序列号");
    EXPECT_EQ(text(143, 1033), "Power is not enough,\n please charge!");
    EXPECT_EQ(text(148, 2052), "下载数据将停止记录。\n确定下载?");
    EXPECT_EQ(text(132, 2052), "时间校准失敗");
    EXPECT_EQ(text(141, 2052), "下载失敗");
    EXPECT_EQ(text(80, 2052), "确定启动？");
    EXPECT_EQ(text(67, 1033), text(47, 1033));
    EXPECT_NE(text(67, 2052), text(47, 2052));
    EXPECT_EQ(text(65, 1033), "Temp&Humi Record");
    EXPECT_EQ(text(38, 1033), " Failure to save this file : ");
    int defined = 0;
    for (int id = 0; id <= 150; ++id) defined += isTextDefined(id);
    EXPECT_EQ(defined, 95);
}

TEST(AppSettings, LocaleNamesMapToLanguageIds) {
    EXPECT_EQ(languageIdFromLocale("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(languageIdFromLocale("zh_SG"), 4100);
    EXPECT_EQ(languageIdFromLocale("zh_TW.Big5"), 1028);
    EXPECT_EQ(languageIdFromLocale("zh_HK.UTF-8"), 3076);
    EXPECT_EQ(languageIdFromLocale("en_GB.UTF-8"), 2057);
    EXPECT_EQ(languageIdFromLocale("de_DE@euro"), 1031);
    EXPECT_EQ(languageIdFromLocale("fr_FR"), 1036);
    EXPECT_EQ(languageIdFromLocale("ja_JP.eucJP"), 1041);
    EXPECT_EQ(languageIdFromLocale("C"), 1033);
    EXPECT_EQ(languageIdFromLocale("POSIX"), 1033);
    EXPECT_EQ(languageIdFromLocale("C.UTF-8"), 1033);
    EXPECT_EQ(languageIdFromLocale("xx_YY"), 1033);
}

TEST(AppSettings, EnvironmentOrderAndDefaultUnit) {
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(systemLanguageId(), 2052);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(systemLanguageId(), 1033);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(systemLanguageId(), 1031);
    unsetenv("LANG");
    EXPECT_EQ(systemLanguageId(), 1033);

    AppSettings s;
    s.setLanguage(2052);
    EXPECT_EQ(s.currentUnit, "°C");
    EXPECT_FALSE(s.isFahrenheit());
    for (std::uint16_t id : {1028, 3076, 1033}) {
        s.setLanguage(id);
        EXPECT_EQ(s.currentUnit, "°F");
        EXPECT_EQ(s.unitCelsius, "\u00B0C");
        EXPECT_EQ(s.humidityUnit, "%RH");
        EXPECT_DOUBLE_EQ(s.toDisplay(-5.0), 23.0);
    }
}

TEST(CommandLine, QuotedWindowsAndLinuxPaths) {
    auto f = commandLineFile("\"C:\\My Data\\Cold Room 2\\log.kvlu\"");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fullPath, "C:\\My Data\\Cold Room 2\\log.kvlu");
    EXPECT_EQ(f->fileName, "log.kvlu");

    f = commandLineFile("/home/lab/cold room/run 3.kvlu");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fileName, "run 3.kvlu");

    f = commandLineFile("log.kvlu");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fullPath, "log.kvlu");
    EXPECT_EQ(f->fileName, "");
}

TEST(CommandLine, NotADataFile) {
    EXPECT_FALSE(commandLineFile(""));
    EXPECT_FALSE(commandLineFile("\"C:\\data\\LOG.KVLU\""));
    EXPECT_FALSE(commandLineFile("\"\""));
    EXPECT_FALSE(commandLineFile("/tmp/readme.txt"));
    EXPECT_FALSE(commandLineFile(".kvlu"));
}

TEST(Format, PrintfAndUtf8Helpers) {
    EXPECT_EQ(format("%4.2f", 3.0), "3.00");
    EXPECT_EQ(format("%.2d:%.2d", 5, 7), "05:07");
    EXPECT_EQ(format("%s", std::string(300, 'x').c_str()).size(), 300u);
    EXPECT_EQ(utf8Length("25.50°C"), 7u);
    EXPECT_EQ(utf8Left("温湿度记录", 2), "温湿");
    EXPECT_EQ(utf8CutBytes("ab温", 4), "ab");
    EXPECT_TRUE(isValidUtf8("温度"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(isValidUtf8("\xE6\xB8"));
}
