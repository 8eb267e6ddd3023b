// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>

#include "markup_parser.h"

namespace ortolan {
namespace {

// Runs written out as "[9 00ff00]text" and "|" for a line break, so a failing
// case shows what the panel would draw.
std::string Describe(const std::vector<tagTextRun>& runs)
{
    std::string out;
    char style[32];
    for (const tagTextRun& run : runs) {
        if (run.lineBreak) {
            out += "|";
            continue;
        }
        std::snprintf(style, sizeof style, "[%d %06x]", run.pointSize, run.color);
        out += style + run.text;
    }
    return out;
}

std::string Parse(const std::string& markup)
{
    return Describe(ParseMarkup(markup));
}

// The status lines exactly as the monitoring controller writes them.
const std::string kSflow = "<font size=9pt color=#00ff00>sFlow:   2ノード(5ポート)  1234パケット</font><br>";
const std::string kNetflow = "<font size=9pt color=#00ff00>NetFlow: 1ノード（3ポート） 56パケット</font><br>";
const std::string kRateGreen = "<font size=9pt color=#00ff00>受信速度: 12.345パケット/秒</font>";
const std::string kRateYellow = "<font size=9pt color=#ffff00>受信速度: 150.000パケット/秒</font>";
const std::string kIdle = "<font size=9pt color=#ff0000>モニタしていません。</font>";
const std::string kSince =
    "<br><font  size=9pt color=#ffffff>11/15 07:13から0日 01時間02分03秒間モニタしています。</font>";
const std::string kOffline =
    "<br><font  size=9pt color=#ffffff>11/14 10:00から11/14 12:00のオフライン情報を表示しています。</font>";
const std::string kDns = "<br><font  size=9pt color=#00ff00>3件のDNS問い合わせを行っています。</font>";

TEST(StatusMarkup, MonitoringWithLookUpsPending)
{
    EXPECT_EQ(Parse(kSflow + kNetflow + kRateYellow + kSince + kDns),
              "[9 00ff00]sFlow:   2ノード(5ポート)  1234パケット|"
              "[9 00ff00]NetFlow: 1ノード（3ポート） 56パケット|"
              "[9 ffff00]受信速度: 150.000パケット/秒|"
              "[9 ffffff]11/15 07:13から0日 01時間02分03秒間モニタしています。|"
              "[9 00ff00]3件のDNS問い合わせを行っています。");
}

TEST(StatusMarkup, OfflineDataShown)
{
    EXPECT_EQ(Parse(kSflow + kNetflow + kRateGreen + kOffline),
              "[9 00ff00]sFlow:   2ノード(5ポート)  1234パケット|"
              "[9 00ff00]NetFlow: 1ノード（3ポート） 56パケット|"
              "[9 00ff00]受信速度: 12.345パケット/秒|"
              "[9 ffffff]11/14 10:00から11/14 12:00のオフライン情報を表示しています。");
}

TEST(StatusMarkup, NotMonitoringWithAndWithoutLookUps)
{
    EXPECT_EQ(Parse(kIdle), "[9 ff0000]モニタしていません。");
    EXPECT_EQ(Parse(kIdle + kDns), "[9 ff0000]モニタしていません。|[9 00ff00]3件のDNS問い合わせを行っています。");
}

TEST(StatusMarkup, FontAttributesInAnyOrderQuotedSpacedAndAnyCase)
{
    EXPECT_EQ(Parse("<font color=#00ff00 size=12pt>a</font>"), "[12 00ff00]a");
    EXPECT_EQ(Parse("<FONT   Size = \"14pt\"   COLOR='#FFFF00' >b</Font>"), "[14 ffff00]b");
    EXPECT_EQ(Parse("<font size=10>c</font>"), "[10 ffffff]c");
    EXPECT_EQ(Parse("<font color=#f80>d</font>"), "[9 ff8800]d");
    EXPECT_EQ(Parse("<font face=Arial size=11pt>e</font>"), "[11 ffffff]e");   // unknown attribute ignored
}

TEST(StatusMarkup, BadValuesKeepTheStyleAroundThemAndSizesAreHeldInRange)
{
    EXPECT_EQ(Parse("<font color=#ff0000><font color=green size=huge>x</font></font>"), "[9 ff0000]x");
    EXPECT_EQ(Parse("<font color=#12345g size=9em>x</font>"), "[9 ffffff]x");
    EXPECT_EQ(Parse("<font color=#-1f>x</font><font color=#+1f>y</font>"), "[9 ffffff]xy");
    EXPECT_EQ(Parse("<font size=0pt>x</font><font size=99999999999pt>y</font>"), "[1 ffffff]x[72 ffffff]y");
}

TEST(StatusMarkup, NestedFontsRestoreTheOuterStyleAndStrayClosesAreIgnored)
{
    EXPECT_EQ(Parse("<font color=#ff0000>a<font size=12pt>b</font>c</font>d"),
              "[9 ff0000]a[12 ff0000]b[9 ff0000]c[9 ffffff]d");
    EXPECT_EQ(Parse("</font></font>a<font color=#00ff00>b"), "[9 ffffff]a[9 00ff00]b");
}

TEST(StatusMarkup, LineBreaksInAllTheirSpellings)
{
    EXPECT_EQ(Parse("a<br>b<BR/>c<br />d<br><br>"), "[9 ffffff]a|[9 ffffff]b|[9 ffffff]c|[9 ffffff]d||");
}

TEST(StatusMarkup, OtherTagsAreDroppedAndLoneBracketsAreText)
{
    EXPECT_EQ(Parse("<b>bold</b><img src=x.png><script>s</script>"), "[9 ffffff]bolds");
    EXPECT_EQ(Parse("1 < 2 > 0"), "[9 ffffff]1 < 2 > 0");
    EXPECT_EQ(Parse("a <br"), "[9 ffffff]a <br");
    EXPECT_EQ(Parse("<>x<=y"), "[9 ffffff]<>x<=y");
}

TEST(StatusMarkup, EntitiesAreDecodedAndUnknownOnesKept)
{
    EXPECT_EQ(Parse("&lt;a&gt; &amp; &quot;q&quot; &#39;s&#39;&nbsp;&copy; &"), "[9 ffffff]<a> & \"q\" 's' &copy; &");
}

TEST(StatusMarkup, SpacesStayAndLineEndsBecomeSpaces)
{
    EXPECT_EQ(Parse("a   b\r\nc\td"), "[9 ffffff]a   b  c d");
    EXPECT_TRUE(ParseMarkup("").empty());
}

TEST(StatusMarkup, TruncatedAndScrambledMarkupNeverBreaksTheParser)
{
    const std::string full = kSflow + kNetflow + kRateYellow + kSince + kDns;
    // Every cut of a real status text, then random splices of its bytes and
    // of the characters that steer the parser.
    auto check = [](const std::string& input) {
        size_t textBytes = 0;
        for (const tagTextRun& run : ParseMarkup(input)) {
            EXPECT_GE(run.pointSize, kMarkupMinPointSize);
            EXPECT_LE(run.pointSize, kMarkupMaxPointSize);
            EXPECT_LE(run.color, 0xFFFFFFu);
            EXPECT_TRUE(!run.lineBreak || run.text.empty());
            textBytes += run.text.size();
        }
        EXPECT_LE(textBytes, input.size());   // no entity or tag ever grows the text
    };
    for (size_t n = 0; n <= full.size(); ++n) check(full.substr(0, n));

    std::mt19937 random(20240601);
    const std::string steer = "<>/=\"'&#; fontsizecolorbrpt09";
    for (int round = 0; round < 2000; ++round) {
        std::string input;
        size_t length = random() % 200;
        for (size_t i = 0; i < length; ++i) {
            switch (random() % 3) {
            case 0: input += full[random() % full.size()]; break;
            case 1: input += steer[random() % steer.size()]; break;
            default: input += static_cast<char>(random() % 256); break;
            }
        }
        check(input);
    }
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "<font size=10pt>";
    deep += "x";
    for (int i = 0; i < 10000; ++i) deep += "</font>";
    deep += "y";
    EXPECT_EQ(Parse(deep), "[10 ffffff]x[9 ffffff]y");
}

}  // namespace
}  // namespace ortolan
