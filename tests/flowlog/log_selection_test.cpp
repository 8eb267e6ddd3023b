// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_selection.h"
#include "local_dates.h"

#include <gtest/gtest.h>

#include <ctime>

namespace ortolan {
namespace {

int64_t Noon(int year, int month, int day) { return testing::LocalTimeOf(year, month, day); }

TEST(LogSelection, TodayAndThisWeekSelectByDate)
{
    CLogSelection list;
    // 2009-03-11 was a Wednesday.
    list.Fill({"FL2009-03-01.log", "FL2009-03-04.log", "FL2009-03-05.log", "FL2009-03-07.log",
               "FL2009-03-11.log", "FL2009-03-12.log"});
    list.SelectToday(Noon(2009, 3, 11));
    EXPECT_EQ(list.SelectedNames(), (std::vector<std::string>{"FL2009-03-11.log"}));
    EXPECT_EQ(list.scroll()->index, 4u);
    EXPECT_TRUE(list.scroll()->toTop);

    list.SelectWeek(Noon(2009, 3, 11));
    EXPECT_EQ(list.SelectedNames(),
              (std::vector<std::string>{"FL2009-03-05.log", "FL2009-03-07.log", "FL2009-03-11.log"}));

    // No log of today: nothing selected, the scroll stays where it was.
    list.SelectToday(Noon(2009, 3, 20));
    EXPECT_TRUE(list.SelectedNames().empty());
}

TEST(LogSelection, FindMatchesThePrefixIgnoringCase)
{
    CLogSelection list;
    list.Fill({"FL2009-03-01.log", "fl2009-03-02.LOG", "FL2009-03-02.log.old.log"});
    EXPECT_EQ(list.Find("FL2009-03-02.log"), std::optional<size_t>(1));  // the first that begins with it
    EXPECT_EQ(list.Find("FL2009-03-01.LOG"), std::optional<size_t>(0));
    EXPECT_FALSE(list.Find("FL2009-03-03.log"));
}

TEST(LogSelection, RunChecksInOrder)
{
    CLogSelection list;
    list.Fill({"FL2009-03-01.log", "FL2009-03-02.log"});
    EXPECT_EQ(list.CheckRun(true, ""), RunCheck::NoFolder);
    EXPECT_EQ(list.CheckRun(false, ""), RunCheck::Proceed);
    list.SetSelected(1, false);
    list.SetSelected(0, true);
    EXPECT_EQ(list.CheckRun(true, "/logs/"), RunCheck::AskTodayMissing);
    EXPECT_EQ(list.CheckRun(false, "/logs/"), RunCheck::Proceed);
    list.ClearAll();
    EXPECT_TRUE(list.CanAccept(true));
    EXPECT_FALSE(list.CanAccept(false));

    CLogSelection empty;
    empty.Fill({});
    EXPECT_FALSE(empty.scroll());
    EXPECT_EQ(empty.CheckRun(true, "/logs/"), RunCheck::Proceed) << "online without any log";
}

}  // namespace
}  // namespace ortolan
