// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "interface_table.h"
#include "counter_sample.h"
#include "local_dates.h"

namespace ortolan {
namespace {

// A local time on a given hour of March 2026; tests run with TZ fixed by ctest.
int64_t LocalTimeAt(int day, int hour, int minute) { return testing::LocalTimeOf(2026, 3, day, hour, minute); }

TEST(InterfaceHistory, OneEntryPerLocalHourAndAWeekAtMost)
{
    CInterfaceTable table(nullptr, 4096);
    table.AddCounterSample(testing::CounterSample(3, LocalTimeAt(1, 10, 59), 1000));
    table.AddCounterSample(testing::CounterSample(3, LocalTimeAt(1, 11, 0), 2000));
    table.AddCounterSample(testing::CounterSample(3, LocalTimeAt(1, 11, 30), 3000));
    table.AddCounterSample(testing::CounterSample(3, LocalTimeAt(1, 11, 59), 4000));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.at(3).history.size(), 2u);
    EXPECT_EQ(table.counterUptime(), 4000u);

    int64_t t = LocalTimeAt(1, 11, 0);
    for (int i = 1; i <= 169; ++i) table.AddCounterSample(testing::CounterSample(3, t + i * 3600, 5000 + i));
    const auto& history = table.at(3).history;
    EXPECT_EQ(history.size(), kHistoryHours);
    EXPECT_EQ(history.back().agentUptime, 5000u + 169);
    EXPECT_EQ(history.front().agentUptime, 5000u + 169 - 167);

    // A silence of whole days still ends the hour: the same hour of day a day
    // and two days on gives an entry each.
    int64_t last = t + 169 * 3600;
    table.AddCounterSample(testing::CounterSample(3, last + 86400, 7000));
    EXPECT_EQ(history.back().agentUptime, 7000u);
    table.AddCounterSample(testing::CounterSample(3, last + 2 * 86400, 7001));
    EXPECT_EQ(history.back().agentUptime, 7001u);
}

TEST(InterfaceHistory, RestartedAgentRenewsTheBase)
{
    CInterfaceTable table(nullptr, 4096);
    int64_t t = LocalTimeAt(2, 9, 0);
    table.AddCounterSample(testing::CounterSample(1, t, 900000, 0, 100));
    table.AddCounterSample(testing::CounterSample(1, t + 10, 900100, 0, 200));
    EXPECT_EQ(table.at(1).base.ifInUcastPkts, 100u);
    table.AddCounterSample(testing::CounterSample(1, t + 20, 50, 0, 5));  // uptime went back
    EXPECT_EQ(table.at(1).base.ifInUcastPkts, 5u);
    EXPECT_DOUBLE_EQ(table.InSum(CounterSet::SinceBase, InboundFigure::Packets), 0);
}

TEST(Rates, FromCounterDifferencesOverUptime)
{
    CInterfaceTable table(nullptr, 4096);
    int64_t t = LocalTimeAt(3, 9, 0);
    table.AddCounterSample(testing::CounterSample(1, t, 10000, 1000, 100));
    table.TakeSnapshot();
    EXPECT_EQ(table.InRate(RateUnit::PacketsPerSecond), 0) << "right after a snapshot dt is 0";
    table.AddCounterSample(testing::CounterSample(1, t + 10, 20000, 1000 + 1250000, 100 + 3000));
    EXPECT_DOUBLE_EQ(table.InRate(RateUnit::PacketsPerSecond), 300.0);
    EXPECT_DOUBLE_EQ(table.InRate(RateUnit::MegabitsPerSecond), 1.0);
    table.TakeSnapshot();
    table.AddCounterSample(testing::CounterSample(1, t + 20, 30000, 0, 0));  // counters went back
    EXPECT_EQ(table.InRate(RateUnit::PacketsPerSecond), 0);
}

}  // namespace
}  // namespace ortolan
