// The status panel's mark-up for the states the window can be in.
#include <gtest/gtest.h>

#include "status_text.h"

namespace ortolan {
namespace {

constexpr int64_t k1040 = 1796607600;   // 2026-12-07 10:40:00 in Tokyo

TEST(StatusText, MonitoringShowsBothCollectorsTheRateAndTheSpan)
{
    tagStatusInputs in;
    in.monitoring = true;
    in.sflow = {2, 5, 1000};
    in.netflow = {1, 3, 200};
    in.shownFrom = k1040;
    in.now = k1040 + 86400 + 3723;
    std::string expected =
        "<font size=9pt color=#00ff00>sFlow:   2ノード(5ポート)  1000パケット</font><br>"
        "<font size=9pt color=#00ff00>NetFlow: 1ノード（3ポート） 200パケット</font><br>"
        "<font size=9pt color=#00ff00>受信速度: 0.013パケット/秒</font>"
        "<br><font  size=9pt color=#ffffff>12/07 10:40から1日 01時間02分03秒間モニタしています。</font>";
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
    EXPECT_EQ(FormatStatusMarkup(in), "<font size=9pt color=#ff0000>モニタしていません。</font>");
    in.pendingLookups = 3;
    EXPECT_EQ(FormatStatusMarkup(in),
              "<font size=9pt color=#ff0000>モニタしていません。</font>"
              "<br><font  size=9pt color=#00ff00>3件のDNS問い合わせを行っています。</font>");
}

TEST(StatusText, NetflowOnlyOfflineShowsThePeriod)
{
    tagStatusInputs in;
    in.netflow = {1, 2, 40};
    in.shownFrom = k1040 - 3600;
    in.shownTo = k1040;
    in.now = k1040 + 3600;
    EXPECT_EQ(FormatStatusMarkup(in),
              "<font size=9pt color=#00ff00>sFlow:   0ノード(0ポート)  0パケット</font><br>"
              "<font size=9pt color=#00ff00>NetFlow: 1ノード（2ポート） 40パケット</font><br>"
              "<font size=9pt color=#00ff00>受信速度: 0.006パケット/秒</font>"
              "<br><font  size=9pt color=#ffffff>12/07 09:40から12/07 10:40のオフライン情報を表示しています。</font>");
}

TEST(StatusText, PlainTextKeepsLinesAndDropsTags)
{
    EXPECT_EQ(StatusPlainText("<font size=9pt color=#00ff00>a</font><br><font  size=9pt>b</font>"), "a\nb");
    EXPECT_EQ(StatusPlainText("x < y"), "x < y");
    EXPECT_EQ(FormatSpan(-5), "0日 00時間00分00秒間");
}

}  // namespace
}  // namespace ortolan
