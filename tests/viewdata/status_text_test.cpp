// SPDX-License-Identifier: GPL-3.0-or-later
// The status panel's mark-up for the states the window can be in.
#include <gtest/gtest.h>

#include "status_lines.h"
#include "status_text.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

constexpr int64_t k1040 = 1796607600;   // 2026-12-07 10:40:00 in Tokyo

std::string Green(const std::string& line) { return "<font size=9pt color=#00ff00>" + line + "</font>"; }
// The lines after the first three carry a second space in their font tag.
std::string Later(const std::string& colour, const std::string& line)
{
    return "<br><font  size=9pt color=" + colour + ">" + line + "</font>";
}

TEST(StatusText, MonitoringShowsBothCollectorsTheRateAndTheSpan)
{
    tagStatusInputs in;
    in.monitoring = true;
    in.sflow = {2, 5, 1000};
    in.netflow = {1, 3, 200};
    in.shownFrom = k1040;
    in.now = k1040 + 86400 + 3723;
    std::string expected = Green(SflowLine(2, 5, 1000)) + "<br>" + Green(NetflowLine(1, 3, 200)) + "<br>" +
                           Green("受信速度: 0.013パケット/秒") +
                           Later("#ffffff", MonitoringLine("12/07 10:40", "1日 01時間02分03秒間"));
    EXPECT_EQ(FormatStatusMarkup(in), expected);

    // Above 100 datagrams a second the rate turns yellow.
    in.now = k1040 + 10;
    in.sflow.datagrams = 1001;
    EXPECT_NE(FormatStatusMarkup(in).find("<font size=9pt color=#ffff00>受信速度: 120.100パケット/秒</font>"),
              std::string::npos);
}

TEST(StatusText, NothingMonitoredIsRed)
{
    tagStatusInputs in;
    in.now = k1040;
    const std::string red = std::string("<font size=9pt color=#ff0000>") + kNotMonitoringLine + "</font>";
    EXPECT_EQ(FormatStatusMarkup(in), red);
    in.pendingLookups = 3;
    EXPECT_EQ(FormatStatusMarkup(in), red + Later("#00ff00", LookupsLine(3)));
}

TEST(StatusText, NetflowOnlyOfflineShowsThePeriodAndItsRate)
{
    tagStatusInputs in;
    in.netflow = {1, 2, 40};
    in.shownFrom = k1040 - 3600;
    in.shownTo = k1040;
    // The replay ran an hour after the log ended: the rate is over the
    // log's own hour, 40 datagrams in 3600 seconds.
    in.now = k1040 + 3600;
    EXPECT_EQ(FormatStatusMarkup(in), Green(SflowLine(0, 0, 0)) + "<br>" + Green(NetflowLine(1, 2, 40)) + "<br>" +
                                          Green("受信速度: 0.011パケット/秒") +
                                          Later("#ffffff", OfflineLine("12/07 09:40", "12/07 10:40")));
}

TEST(StatusText, AShortReceiveBufferIsAWarningWithTheFix)
{
    tagStatusInputs in;
    in.now = k1040;
    in.askedReceiveBuffer = 8 << 20;
    const std::string plain = FormatStatusMarkup(in);
    in.shortReceiveBuffer = 212992;
    EXPECT_EQ(FormatStatusMarkup(in),
              plain + Later("#ff8000", "警告: 受信バッファが208KiBしかありません（8192KiB要求）。"
                                       "net.core.rmem_maxを上げてください。"));
}

TEST(StatusText, PlainTextKeepsLinesAndDropsTags)
{
    EXPECT_EQ(StatusPlainText("<font size=9pt color=#00ff00>a</font><br><font  size=9pt>b</font>"), "a\nb");
    EXPECT_EQ(StatusPlainText("x < y"), "x < y");
    EXPECT_EQ(FormatSpan(-5), "0日 00時間00分00秒間");
}

}  // namespace
}  // namespace ortolan
