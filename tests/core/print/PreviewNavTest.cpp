#include <gtest/gtest.h>

#include "print/PreviewNav.h"

using namespace thermivo;

TEST(PreviewNav, CounterTextsAndButtons) {
    EXPECT_EQ(pageCounterText(1, 1, false), "1/1           ");
    EXPECT_EQ(pageCounterText(3, 12, true), "3/12               ");
    const NavButtons single = navButtonsFor(1, 1);
    EXPECT_FALSE(single.first || single.previous || single.next || single.last);
    const NavButtons start = navButtonsFor(1, 4);
    EXPECT_FALSE(start.first || start.previous);
    EXPECT_TRUE(start.next && start.last);
    const NavButtons middle = navButtonsFor(2, 4);
    EXPECT_TRUE(middle.first && middle.previous && middle.next && middle.last);
    const NavButtons end = navButtonsFor(4, 4);
    EXPECT_TRUE(end.first && end.previous);
    EXPECT_FALSE(end.next || end.last);
}

TEST(PreviewNav, WheelTurnsThePageAtTheFourthNotchBeyondTheBottom) {
    const int maxPos = 548;
    WheelState s{maxPos, 0, 1};
    EXPECT_EQ(wheelNotch(s, true, maxPos, 4), WheelAction::Scroll);  // 1: still shown, pinned at the bottom
    EXPECT_EQ(s.wheelOverscroll, 1);
    EXPECT_EQ(wheelNotch(s, true, maxPos, 4), WheelAction::None);  // 2
    EXPECT_EQ(wheelNotch(s, true, maxPos, 4), WheelAction::None);  // 3
    EXPECT_EQ(s.currentPage, 1);
    EXPECT_EQ(wheelNotch(s, true, maxPos, 4), WheelAction::PageForward);  // 4
    EXPECT_EQ(s.currentPage, 2);
    EXPECT_EQ(s.scrollPos, 0);
    EXPECT_EQ(wheelNotch(s, true, maxPos, 4), WheelAction::PageForward);  // 5: the page after that
    EXPECT_EQ(s.currentPage, 3);
    // Turning back scrolls within the page again, counting afresh.
    EXPECT_EQ(wheelNotch(s, false, maxPos, 4), WheelAction::Scroll);
    EXPECT_EQ(s.wheelOverscroll, -1);
    EXPECT_EQ(s.currentPage, 3);
    EXPECT_EQ(wheelNotch(s, false, maxPos, 4), WheelAction::None);
    EXPECT_EQ(wheelNotch(s, false, maxPos, 4), WheelAction::None);
    EXPECT_EQ(wheelNotch(s, false, maxPos, 4), WheelAction::PageBackward);
    EXPECT_EQ(s.currentPage, 2);
    EXPECT_EQ(s.scrollPos, maxPos);  // the previous page is shown at its bottom
}

TEST(PreviewNav, WheelScrollsWithinThePageAndStopsAtTheLastPage) {
    const int maxPos = 50;
    WheelState s{0, 0, 2};
    EXPECT_EQ(wheelNotch(s, true, maxPos, 2), WheelAction::Scroll);
    EXPECT_EQ(s.scrollPos, 20);
    EXPECT_EQ(wheelNotch(s, true, maxPos, 2), WheelAction::Scroll);
    EXPECT_EQ(wheelNotch(s, true, maxPos, 2), WheelAction::Scroll);
    EXPECT_EQ(s.scrollPos, 50);
    EXPECT_EQ(s.wheelOverscroll, 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(wheelNotch(s, true, maxPos, 2), WheelAction::None);
    EXPECT_EQ(s.currentPage, 2);
    EXPECT_EQ(wheelNotch(s, false, maxPos, 2), WheelAction::Scroll);
    EXPECT_EQ(s.scrollPos, 30);
    EXPECT_EQ(s.wheelOverscroll, 0);
}
