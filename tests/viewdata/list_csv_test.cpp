// SPDX-License-Identifier: GPL-3.0-or-later
// The list CSV text: quoting, cells per column, cut headers.
#include <gtest/gtest.h>

#include "list_csv.h"

namespace ortolan {
namespace {

TEST(ListCsv, ThreeColumnsAndTwoRowsGiveFourQuotedLines)
{
    std::string csv = FormatListCsv("IPプロトコル一覧", {"IPプロトコル   　", "パケット      ", "バイト        "},
                                    {{"TCP", "120", "1.500KB"}, {"UDP", "3", "999"}});
    EXPECT_EQ(csv,
              "\"IPプロトコル一覧\"\n"
              "\"IPプロトコル   　\",\"パケット      \",\"バイト        \"\n"
              "\"TCP\",\"120\",\"1.500KB\"\n"
              "\"UDP\",\"3\",\"999\"\n");
}

TEST(ListCsv, QuotesInsideFieldsAreDoubled)
{
    std::string csv = FormatListCsv("a \"b\"", {"h\"1", "h2"}, {{"host \"x\".example", "\""}});
    EXPECT_EQ(csv,
              "\"a \"\"b\"\"\"\n"
              "\"h\"\"1\",\"h2\"\n"
              "\"host \"\"x\"\".example\",\"\"\"\"\n");
}

TEST(ListCsv, EveryRowHasOneCellPerHeaderColumn)
{
    std::string csv = FormatListCsv("t", {"a", "b"}, {{"1"}, {"1", "2", "3"}, {}});
    EXPECT_EQ(csv, "\"t\"\n\"a\",\"b\"\n\"1\",\"\"\n\"1\",\"2\"\n\"\",\"\"\n");
    EXPECT_EQ(FormatListCsv("t", {}, {{"x"}}), "\"t\"\n\n\n");
}

TEST(ListCsv, LongHeadersAreCutAt1023BytesWithoutSplittingACharacter)
{
    std::string ascii(2000, 'a');
    std::string csv = FormatListCsv("t", {ascii}, {});
    EXPECT_EQ(csv, "\"t\"\n\"" + std::string(1023, 'a') + "\"\n");

    // 1022 bytes and a three-byte character would end mid-character at 1023.
    std::string mixed = std::string(1022, 'a') + "あい";
    csv = FormatListCsv("t", {mixed}, {});
    EXPECT_EQ(csv, "\"t\"\n\"" + std::string(1022, 'a') + "\"\n");
    std::string exact = std::string(1020, 'a') + "あい";   // "あ" ends at byte 1023
    csv = FormatListCsv("t", {exact}, {});
    EXPECT_EQ(csv, "\"t\"\n\"" + std::string(1020, 'a') + "あ\"\n");
}

}  // namespace
}  // namespace ortolan
