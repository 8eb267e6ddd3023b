// SPDX-License-Identifier: GPL-3.0-or-later
// The interface names reading over a scripted client: which columns it asks
// for in turn, what it keeps of them, and how far it trusts the agent.
#include <gtest/gtest.h>

#include "agent_tables.h"
#include "fake_snmp_client.h"
#include "if_table_reader.h"
#include "snmp_interface_name_reader.h"
#include "snmpd_agent.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

tagSnmpAccess Access()
{
    tagSnmpAccess access;
    access.mode = 2;
    access.peerAddress = "127.0.0.1:1161";
    access.communityOrUser = "public";
    return access;
}

void RunToEnd(CIfTableReader& reader)
{
    for (int i = 0; i < 10 && reader.busy(); ++i) reader.Poll();
}

TEST(IfTableReader, AgentWithoutIfXColumnsGivesDescriptionsAndBitRates)
{
    CFakeSnmpClient snmp;
    snmp.outcomes.push_back({true, 0, {"ifName.1=STRING: \"lo\"", "ifName.3=STRING: \"ge-0/0/1\""}});
    snmp.outcomes.push_back({true, 2, {}});  // no ifAlias column
    snmp.outcomes.push_back({true, 0,
                             {"ifDescr.1=STRING: \"lo\"", "ifDescr.3=STRING: \"uplink \\\"core\\\"\"",
                              "ifDescr.7=STRING: \"tun0\""}});
    snmp.outcomes.push_back({true, 2, {}});  // no ifHighSpeed column
    snmp.outcomes.push_back({true, 0, {"ifSpeed.1=Gauge32: 10000000", "ifSpeed.3=Gauge32: 4294967295"}});
    CIfTableReader reader(snmp, 3, 1);
    ASSERT_TRUE(reader.Start(Access()));
    RunToEnd(reader);

    ASSERT_FALSE(reader.busy());
    EXPECT_TRUE(reader.answered());
    std::vector<std::string> roots;
    for (const tagFakeRequest& request : snmp.requests) {
        EXPECT_EQ(request.peer, "127.0.0.1:1161");
        EXPECT_EQ(request.timeoutSeconds, 3);
        roots.push_back(request.rootOrLines);
    }
    EXPECT_EQ(roots, (std::vector<std::string>{".1.3.6.1.2.1.31.1.1.1.1", ".1.3.6.1.2.1.31.1.1.1.18",
                                               ".1.3.6.1.2.1.2.2.1.2", ".1.3.6.1.2.1.31.1.1.1.15",
                                               ".1.3.6.1.2.1.2.2.1.5"}));
    const IfNameTable& table = reader.table();
    ASSERT_EQ(table.size(), 3u);
    // A description that repeats the name is no alias.
    EXPECT_EQ(table.at(1).name, "lo");
    EXPECT_EQ(table.at(1).alias, "");
    EXPECT_EQ(table.at(1).speedBitsPerSecond, 10000000u);
    EXPECT_EQ(table.at(3).name, "ge-0/0/1");
    EXPECT_EQ(table.at(3).alias, "uplink \"core\"");
    EXPECT_EQ(table.at(3).speedBitsPerSecond, 4294967295u);
    EXPECT_EQ(table.at(7).name, "");
    EXPECT_EQ(table.at(7).alias, "tun0");
    EXPECT_EQ(table.at(7).speedBitsPerSecond, 0u);
}

TEST(IfTableReader, HighSpeedIsMegabitsAndAliasesNeedNoDescriptions)
{
    CFakeSnmpClient snmp;
    snmp.outcomes.push_back({true, 0, {"ifName.2=STRING: \"eth0\""}});
    snmp.outcomes.push_back({true, 0, {"ifAlias.2=STRING: \"to the lab\""}});
    snmp.outcomes.push_back({true, 0, {"ifHighSpeed.2=Gauge32: 100000"}});
    CIfTableReader reader(snmp);
    ASSERT_TRUE(reader.Start(Access()));
    RunToEnd(reader);
    ASSERT_EQ(snmp.requests.size(), 3u);
    EXPECT_EQ(reader.table().at(2).alias, "to the lab");
    EXPECT_EQ(reader.table().at(2).speedBitsPerSecond, 100000ull * 1000000);
}

TEST(IfTableReader, WhatTheAgentSendsIsBounded)
{
    CFakeSnmpClient snmp;
    std::vector<std::string> names;
    // More interfaces than are kept, a name far too long that ends in the
    // middle of a three-byte character at the bound, control bytes, an
    // index that is no number and one that is 0.
    for (size_t i = 1; i <= kMaxIfNameEntries + 50; ++i)
        names.push_back("ifName." + std::to_string(i) + "=STRING: \"if" + std::to_string(i) + "\"");
    std::string longName(kMaxIfNameBytes - 1, 'x');
    longName += "\xE3\x81\x82tail";
    names[4] = "ifName.5=STRING: \"" + longName + "\"";
    names[5] = "ifName.6=STRING: \"a\x01" "b\"";
    names.insert(names.begin(), {"ifName.x=STRING: \"odd\"", "ifName.0=STRING: \"zero\"",
                                 "ifName.99999999999=STRING: \"huge\"", "no line"});
    snmp.outcomes.push_back({true, 0, names});
    CIfTableReader reader(snmp);
    ASSERT_TRUE(reader.Start(Access()));
    RunToEnd(reader);

    const IfNameTable& table = reader.table();
    EXPECT_EQ(table.size(), kMaxIfNameEntries);
    EXPECT_EQ(table.count(0), 0u);
    EXPECT_EQ(table.count(kMaxIfNameEntries + 1), 0u);
    EXPECT_EQ(table.at(5).name, std::string(kMaxIfNameBytes - 1, 'x'));
    EXPECT_EQ(table.at(6).name, "a b");
    EXPECT_EQ(table.at(kMaxIfNameEntries).name, "if" + std::to_string(kMaxIfNameEntries));
}

TEST(IfTableReader, SilentAgentIsAskedOnceAndUnsendableReadingStaysIdle)
{
    CFakeSnmpClient snmp;
    snmp.outcomes.push_back({true, -1, {}});
    CIfTableReader reader(snmp);
    ASSERT_TRUE(reader.Start(Access()));
    RunToEnd(reader);
    EXPECT_FALSE(reader.busy());
    EXPECT_FALSE(reader.answered());
    EXPECT_EQ(reader.lastError(), -1);
    EXPECT_EQ(snmp.requests.size(), 1u);
    EXPECT_TRUE(reader.table().empty());

    snmp.outcomes.push_back({false, 6, {}});
    EXPECT_FALSE(reader.Start(Access()));
    EXPECT_FALSE(reader.busy());
}

// The monitoring session's reader on a real daemon: answers come from its
// own timer, never from inside the call, and the timer stops with the answer.
TEST(SnmpInterfaceNameReader, AnswersLaterFromTheDaemonAndStopsStepping)
{
    CSnmpdAgent agent;
    START_AGENT(agent, V5AgentTable());
    const int port = std::stoi(agent.peer().substr(10));
    CSnmpInterfaceNameReader reader(2, 1);
    for (const tagAgentSnmp& access : {tagAgentSnmp{"127.0.0.1", 2, "tundra", "", port},
                                       tagAgentSnmp{"127.0.0.1", 3, "md5user", "md5password", port}}) {
        int calls = 0;
        bool answered = false;
        IfNameTable table;
        reader.StartRead(access, [&](bool a, const IfNameTable& t) {
            ++calls;
            answered = a;
            table = t;
        });
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(reader.isStepping());
        ASSERT_TRUE(PollUntil([&] { return calls > 0; }, 30000)) << "mode " << access.mode;
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(answered);
        // The machine's own interfaces: every one the daemon lists has a name.
        ASSERT_FALSE(table.empty());
        for (const auto& [ifIndex, entry] : table) EXPECT_FALSE(entry.name.empty()) << ifIndex;
        EXPECT_FALSE(reader.isStepping());
    }

    // A user the daemon does not know: answered as a failure, also later.
    int calls = 0;
    bool answered = true;
    reader.StartRead({"127.0.0.1", 4, "nobody", "nopassword", port}, [&](bool a, const IfNameTable&) {
        ++calls;
        answered = a;
    });
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(PollUntil([&] { return calls > 0; }, 30000));
    EXPECT_FALSE(answered);

    // One that cannot even be sent (a pass phrase too short) is answered later too.
    calls = 0;
    reader.StartRead({"127.0.0.1", 3, "md5user", "short", port}, [&](bool a, const IfNameTable&) {
        ++calls;
        answered = a;
    });
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(PollUntil([&] { return calls > 0; }, 5000));
    EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace ortolan
