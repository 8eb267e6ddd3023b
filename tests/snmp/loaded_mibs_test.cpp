// SPDX-License-Identifier: GPL-3.0-or-later
// The MIB modules we ship, as the library loads them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hex_string_text.h"
#include "snmp_api.h"

namespace ortolan {
namespace {

TEST(LoadedMibs, NameEveryObjectTheWindowUses)
{
    CLoadedMibs mibs;
    for (const char* name :
         {"sFlowAgent", "sFlowVersion", "sFlowAgentAddress", "sFlowRcvrOwner", "sFlowRcvrDatagramVersion",
          "sFlowFsReceiver", "sFlowFsMaximumHeaderSize", "sFlowCpReceiver", "sFlowCpInterval", "sFlowAgentV4",
          "sFlowVersionV4", "sFlowAgentAddressTypeV4", "sFlowAgentAddressV4", "sFlowDataSource", "sFlowOwner",
          "sFlowTimeout", "sFlowPacketSamplingRate", "sFlowCounterSamplingInterval", "sFlowMaximumHeaderSize",
          "sFlowMaximumDatagramSize", "sFlowCollectorAddressType", "sFlowCollectorAddress",
          "sFlowCollectorPort", "sFlowDatagramVersion", "ifIndex"}) {
        EXPECT_TRUE(mibs.Find(name).has_value()) << name;
    }
    EXPECT_FALSE(mibs.Find("noSuchObjectAnywhere").has_value());
    EXPECT_FALSE(mibs.Find("").has_value());
}

TEST(LoadedMibs, GiveTheSetLettersAndConventions)
{
    CLoadedMibs mibs;
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowRcvrOwner"), 's');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowRcvrPort"), 'i');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowRcvrAddressType"), 'i');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowRcvrAddress"), 's');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowFsReceiver"), 'i');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowDataSource"), 'o');
    EXPECT_EQ(TypeLetterOf(mibs, "sFlowOwner"), 's');
    EXPECT_EQ(TypeLetterOf(mibs, "missingObject"), ' ');
    EXPECT_EQ(mibs.Find("sFlowRcvrAddress")->textualConvention, "InetAddress");
    EXPECT_EQ(mibs.Find("sFlowVersion")->textualConvention, "SnmpAdminString");
    EXPECT_EQ(mibs.Find("sFlowRcvrOwner")->textualConvention, "");
    // An owner in Shift_JIS is shown as text; an address is not.
    EXPECT_EQ(HexStringToText(mibs, "sFlowRcvrOwner.1 = Hex-STRING: 93 FA 96 7B", "\x93\xFA\x96\x7B", 2048),
              "sFlowRcvrOwner.1 = STRING: \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(HexStringToText(mibs, "sFlowRcvrAddress.1 = Hex-STRING: E6 97 A5 E6", "\xE6\x97\xA5\xE6", 2048),
              "sFlowRcvrAddress.1 = Hex-STRING: E6 97 A5 E6");
}

TEST(ShippedMibs, ParseWithoutErrorsOrWarnings)
{
    const char* translate = "/usr/bin/snmptranslate";
    if (access(translate, X_OK) != 0) {
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true") FAIL() << "snmptranslate is not installed";
        GTEST_SKIP() << "snmptranslate is not installed";
    }
    QTemporaryDir dir;
    std::string errors = dir.path().toStdString() + "/errors.txt";
    std::string command = std::string("MIBS= ") + translate + " -M " ORTOLAN_MIB_DIR " -m ALL -Pew -IR -On " +
                          "sFlowRcvrOwner.1 sFlowCollectorAddress ifIndex.5 >/dev/null 2>" + errors;
    EXPECT_EQ(std::system(command.c_str()), 0);
    FILE* file = std::fopen(errors.c_str(), "r");
    ASSERT_NE(file, nullptr);
    std::string text;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) text.append(buf, n);
    std::fclose(file);
    EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace ortolan
