#include <gtest/gtest.h>

#include "TestSupport.h"
#include "data/LocalTime.h"

using namespace thermivo;
using namespace thermivo::testing;

TEST(LocalTimeParse, PrintedAndZeroPaddedFormsGiveTheSameMoment) {
    ScopedTimeZone utc("UTC");
    EXPECT_EQ(parseLocalMinutes("2014-3-1 10:30"), 1393669800);
    EXPECT_EQ(parseLocalMinutes("2014-03-01 10:30"), 1393669800);
    EXPECT_EQ(parseLocalMinutes("2014-03-01 9:05"), 1393664700);
    EXPECT_EQ(parseLocalMinutes("2024-02-29 00:00"), 1709164800);  // a leap day exists
    // What the printed pages show reads back to the same minute.
    EXPECT_EQ(parseLocalMinutes(formatLocalMinutes(1393669800)), 1393669800);
}

TEST(LocalTimeParse, MomentsThatDoNotExistAreRefused) {
    ScopedTimeZone berlin("Europe/Berlin");
    for (const char* text : {"2024-02-31 00:00", "2023-02-29 12:00", "2024-04-31 08:00", "2024-13-01 00:00",
                             "2024-00-10 00:00", "2024-01-00 00:00", "2024-01-01 24:00", "2024-01-01 10:60",
                             "2024-03-31 02:30"})  // the hour skipped by the change to summer time
        EXPECT_FALSE(parseLocalMinutes(text)) << text;
    // The hour that repeats in autumn exists.
    EXPECT_TRUE(parseLocalMinutes("2024-10-27 02:30"));
}

TEST(LocalTimeParse, OtherShapesAreRefused) {
    ScopedTimeZone utc("UTC");
    for (const char* text : {"", "yesterday", "2014-3-1", "2014-3-1 10:3", "2014-3-1 10:30 ",
                             " 2014-3-1 10:30", "2014-3-1T10:30", "14-3-1 10:30", "2014-003-1 10:30",
                             "2014-3-1 10:30:00", "2014-+3-1 10:30", "2014-3-1  10:30"})
        EXPECT_FALSE(parseLocalMinutes(text)) << '"' << text << '"';
}
