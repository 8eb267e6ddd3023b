// SPDX-License-Identifier: GPL-3.0-or-later
// The session layer and the reading and writing procedure against a real
// snmpd on a loopback port, in every SNMP mode.
#include <gtest/gtest.h>

#include <chrono>

#include "agent_tables.h"
#include "sf_agent_reader.h"
#include "sf_walk_parser.h"
#include "sf_set_lines.h"
#include "snmp_api.h"
#include "snmp_text.h"
#include "snmpd_agent.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;
using Cells = std::vector<std::string>;

constexpr int kWaitMs = 20000;

bool WaitDone(const CSnmpApi& api)
{
    return PollUntil([&] { return api.status() == SnmpStatus::Done; }, kWaitMs);
}

bool WaitIdle(CSfAgentReader& reader, std::vector<std::string>& messages)
{
    return PollUntil(
        [&] {
            tagSfStepOutcome outcome = reader.Poll();
            if (!outcome.message.empty()) messages.push_back(outcome.message);
            return reader.busyState() == BusyState::Idle;
        },
        kWaitMs);
}

std::string LineNamed(const std::vector<std::string>& lines, const std::string& name)
{
    for (const std::string& line : lines) {
        if (line.rfind(name + "=", 0) == 0) return line;
    }
    return {};
}

class RealAgentTest : public ::testing::TestWithParam<tagModeCase> {
protected:
    tagSnmpAccess Access() const
    {
        return tagSnmpAccess{GetParam().mode, agent.peer(), GetParam().user, GetParam().password};
    }
    bool Walk(const std::string& root, int timeoutSeconds = 5, int retries = 1)
    {
        tagSnmpAccess a = Access();
        return api.Walk(a.mode, a.peerAddress, a.communityOrUser, a.password, root, timeoutSeconds, retries);
    }
    bool Set(const std::string& lines)
    {
        tagSnmpAccess a = Access();
        return api.SetValues(a.mode, a.peerAddress, a.communityOrUser, a.password, lines, 5, 1);
    }
    // Reads with the procedure of the window until it is idle again.
    std::vector<std::string> Read(CSfAgentReader& reader)
    {
        std::vector<std::string> messages;
        tagSfStepOutcome outcome;
        if (!reader.StartRead(Access(), outcome)) return {outcome.message};
        EXPECT_TRUE(WaitIdle(reader, messages));
        return messages;
    }

    CSnmpdAgent agent;
    CSnmpApi api;
};

TEST_P(RealAgentTest, WalkGivesResultLinesWithShortNames)
{
    START_AGENT(agent, V5AgentTable());
    ASSERT_TRUE(Walk("sFlowAgent"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
    const std::vector<std::string>& lines = api.results();
    EXPECT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines.front(), "sFlowVersion.0=STRING: 1.3;Ortolan test agent;1.0");
    EXPECT_EQ(LineNamed(lines, "sFlowRcvrOwner.1"), "sFlowRcvrOwner.1=STRING: \"ortolan\"");
    EXPECT_EQ(LineNamed(lines, "sFlowRcvrAddress.1"), "sFlowRcvrAddress.1=Hex-STRING: 0A 00 00 01");
    // Printable address bytes still come as bytes.
    EXPECT_EQ(LineNamed(lines, "sFlowRcvrAddress.2"), "sFlowRcvrAddress.2=Hex-STRING: 41 42 43 44");
    EXPECT_EQ(LineNamed(lines, "sFlowRcvrAddressType.1"), "sFlowRcvrAddressType.1=INTEGER: ipv4(1)");
    EXPECT_EQ(LineNamed(lines, "sFlowFsPacketSamplingRate." + kIfIndex5),
              "sFlowFsPacketSamplingRate." + kIfIndex5 + "=INTEGER: 400");
    api.ResetSession();
    EXPECT_EQ(api.status(), SnmpStatus::Idle);
    EXPECT_TRUE(api.results().empty());
}

TEST_P(RealAgentTest, VersionFiveAgentIsReadIntoRows)
{
    START_AGENT(agent, V5AgentTable());
    CSfAgentReader reader(api);
    EXPECT_TRUE(Read(reader).empty());
    const tagSfReadout& readout = reader.readout();
    EXPECT_EQ(reader.mibGeneration(), 5);
    EXPECT_EQ(readout.info.versionText, "1.3;Ortolan test agent;1.0");
    EXPECT_EQ(readout.info.addressText, "192.168.1.11");
    ASSERT_EQ(readout.receivers.size(), 2u);
    EXPECT_EQ(CellsOf(readout.receivers[0]), (Cells{"1", "ortolan", "86400", "1400", "10.0.0.1", "6343", "5"}));
    EXPECT_EQ(CellsOf(readout.receivers[1]), (Cells{"2", "", "0", "1400", "65.66.67.68", "6343", "5"}));
    ASSERT_EQ(readout.v5Ports.size(), 2u);
    EXPECT_EQ(CellsOf(readout.v5Ports[0]), (Cells{"ifIndex.5", "1", "1", "400", "128", "1", "30", kIfIndex5}));
    EXPECT_EQ(CellsOf(readout.v5Ports[1]), (Cells{"ifIndex.7", "1", "", "", "", "1", "20", kIfIndex7}));
    EXPECT_EQ(api.status(), SnmpStatus::Idle);
}

TEST_P(RealAgentTest, OlderMibAgentIsReadByTheSecondWalk)
{
    START_AGENT(agent, V4AgentTable());
    CSfAgentReader reader(api);
    EXPECT_TRUE(Read(reader).empty());
    EXPECT_EQ(reader.mibGeneration(), 4);
    EXPECT_EQ(reader.readout().info.versionText, "1.2;Ortolan old agent;0.9");
    EXPECT_EQ(reader.readout().info.addressText, "192.168.1.12");
    ASSERT_EQ(reader.readout().v4Ports.size(), 1u);
    EXPECT_EQ(CellsOf(reader.readout().v4Ports[0]), (Cells{"ifIndex.3", "v4owner", "7200", "512", "20", "128", "1400",
                                                          "192.168.1.10", "6343", "4", kV4IfIndex3}));
}

TEST_P(RealAgentTest, ReceiverSetReachesTheAgentAndIsReRead)
{
    START_AGENT(agent, V5AgentTable());
    CSfAgentReader reader(api);
    ASSERT_TRUE(Read(reader).empty());
    tagSfV5RcvrEntry entry = StartValuesOf(reader.readout().receivers[0]);
    entry.owner = "back\\slash \"A\"";
    entry.period = {2, 3};
    entry.collectorAddress = 0x0A000002;
    entry.port = 16343;
    entry.datagramVersionIndex = 1;
    std::optional<std::string> lines = BuildV5RcvrSetLines(entry, entry.collectorNumber);
    ASSERT_TRUE(lines.has_value());
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartSet(Access(), *lines, outcome));
    std::vector<std::string> messages;
    ASSERT_TRUE(WaitIdle(reader, messages));
    EXPECT_TRUE(messages.empty());

    const std::string r = kV5 + ".4.1.";
    EXPECT_EQ(agent.SetLog(), r + "2.1 string 6261636B5C736C61736820224122\n" +  // back\slash "A"
                                  r + "3.1 integer 172800\n" + r + "4.1 integer 1400\n" + r + "5.1 integer 1\n" +
                                  r + "6.1 octet 0A000002\n" + r + "7.1 integer 16343\n" + r + "8.1 integer 4\n");
    ASSERT_EQ(reader.readout().receivers.size(), 2u);
    EXPECT_EQ(CellsOf(reader.readout().receivers[0]),
              (Cells{"1", "back\\slash \"A\"", "172800", "1400", "10.0.0.2", "16343", "4"}));
}

TEST_P(RealAgentTest, DataSourceSetOfTheOlderMibIsReRead)
{
    START_AGENT(agent, V4AgentTable());
    CSfAgentReader reader(api);
    ASSERT_TRUE(Read(reader).empty());
    tagSfV4Entry entry = StartValuesOf(reader.readout().v4Ports[0]);
    entry.samplingRate = 2048;
    entry.collectorAddress = 0xC0A80114;
    entry.datagramVersionIndex = 2;
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartSet(Access(), *BuildV4SetLines(entry, kV4IfIndex3), outcome));
    std::vector<std::string> messages;
    ASSERT_TRUE(WaitIdle(reader, messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(reader.mibGeneration(), 4);
    ASSERT_EQ(reader.readout().v4Ports.size(), 1u);
    EXPECT_EQ(CellsOf(reader.readout().v4Ports[0]), (Cells{"ifIndex.3", "v4owner", "7200", "2048", "20", "128",
                                                          "1400", "192.168.1.20", "6343", "5", kV4IfIndex3}));
}

TEST_P(RealAgentTest, AgentErrorsBecomeErrorCodes)
{
    START_AGENT(agent, V5AgentTable());
    bool v1 = GetParam().mode == 1;
    // Read-only object: noSuchName for SNMPv1, notWritable (17) otherwise.
    ASSERT_TRUE(Set("sFlowVersion.0=x\n"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), v1 ? 2 : 5);
    // Value out of range: badValue for SNMPv1, wrongValue (10) otherwise.
    ASSERT_TRUE(Set("sFlowRcvrDatagramVersion.1=9\n"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), v1 ? 3 : 5);
    // A good set answers with its variables.
    ASSERT_TRUE(Set("sFlowRcvrPort.1=7000\nsFlowRcvrAddress.1:x=C0A80164\n"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
    EXPECT_EQ(api.results(), (std::vector<std::string>{"sFlowRcvrPort.1=INTEGER: 7000",
                                                       "sFlowRcvrAddress.1=Hex-STRING: C0 A8 01 64"}));
}

TEST_P(RealAgentTest, WrongCredentialsAreNotAnAnswer)
{
    START_AGENT(agent, V5AgentTable());
    tagSnmpAccess a = Access();
    if (a.mode <= 2) {
        // snmpd drops requests of an unknown community without a word.
        ASSERT_TRUE(api.Walk(a.mode, a.peerAddress, "wrong", "", "sFlowAgent", 1, 0));
        ASSERT_TRUE(WaitDone(api));
        EXPECT_EQ(api.errorCode(), -1);
        return;
    }
    ASSERT_TRUE(api.SetValues(a.mode, a.peerAddress, a.communityOrUser, "wrongpassword", "sFlowRcvrPort.1=1\n", 1, 0));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_NE(api.errorCode(), 0);
    EXPECT_TRUE(agent.SetLog().empty());
    ASSERT_TRUE(api.Walk(a.mode, a.peerAddress, "nosuchuser", "longenough", "sFlowAgent", 1, 0));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_NE(api.errorCode(), 0);
    EXPECT_TRUE(api.results().empty());
    // A short pass phrase fails before anything is sent.
    EXPECT_FALSE(api.Walk(a.mode, a.peerAddress, a.communityOrUser, "short", "sFlowAgent", 1, 0));
    EXPECT_EQ(api.status(), SnmpStatus::Done);
    EXPECT_EQ(api.errorCode(), 6);
    // The right pass phrase still works afterwards.
    ASSERT_TRUE(Walk("sFlowAgent"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
}

TEST_P(RealAgentTest, SilentAgentTimesOut)
{
    CSilentAgent silent;
    tagSnmpAccess a = Access();
    EXPECT_TRUE(api.Walk(a.mode, silent.peer(), a.communityOrUser, a.password, "sFlowAgent", 1, 0))
        << api.errorCode();
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), -1);
    EXPECT_TRUE(api.results().empty());
    if (a.mode <= 2) {
        EXPECT_TRUE(api.SetValues(a.mode, silent.peer(), a.communityOrUser, a.password, "sFlowRcvrPort.1=1\n", 1, 0));
        ASSERT_TRUE(WaitDone(api));
        EXPECT_EQ(api.errorCode(), -1);
    }
}

TEST_P(RealAgentTest, SilentAgentGivesOneMessageAfterBothWalks)
{
    CSilentAgent silent;
    CSfAgentReader reader(api, tagSfTimings{1, 0, 1, 0, 1, 0});
    tagSnmpAccess a = Access();
    a.peerAddress = silent.peer();
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartRead(a, outcome));
    std::vector<std::string> messages;
    ASSERT_TRUE(WaitIdle(reader, messages));
    EXPECT_EQ(messages, (std::vector<std::string>{"sFlow情報が取得できません。"}));
    EXPECT_EQ(reader.mibGeneration(), 0);
}

// Needs no snmpd: nothing answers. One try and two retries are three
// requests per walk, the last one waited for in full.
TEST(SilentAgent, EachWalkSendsThreeRequestsAndWaitsOutTheLast)
{
    CSilentAgent silent;
    CSnmpApi api;
    for (const char* root : {"sFlowAgent", "sFlowAgentV4"}) {
        SCOPED_TRACE(root);
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(api.Walk(2, silent.peer(), "public", "", root, 1, 2));
        ASSERT_TRUE(PollUntil([&] { return api.status() == SnmpStatus::Done; }, kWaitMs));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(api.errorCode(), -1);
        EXPECT_EQ(silent.TakeReceived(), 3);
        // Three tries of one second each; a walk that gave up right after
        // its last request would end near two.
        EXPECT_GE(seconds, 2.9);
        api.ResetSession();
    }
}

// Needs no snmpd. An SNMPv3 request never waits for the agent's engine on the
// caller's thread: the call comes back with the request pending (nothing has
// been polled, so no answer could have arrived), the poll timer runs while it
// waits, and the failure arrives later through the polls. Only the engine
// discovery was sent: without an engine the request itself never leaves.
TEST(SilentAgent, Version3RequestReturnsAtOnceAndFailsThroughThePolls)
{
    CSilentAgent silent;
    CSnmpApi api;
    EXPECT_FALSE(api.isPolling());
    for (int mode : {3, 4}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(api.Walk(mode, silent.peer(), "ortolan", "ortolanpass", "sFlowAgent", 1, 0));
        EXPECT_EQ(api.status(), SnmpStatus::Pending);
        EXPECT_TRUE(api.isPolling());
        ASSERT_TRUE(WaitDone(api));
        EXPECT_EQ(api.errorCode(), -1);
        EXPECT_FALSE(api.isPolling());
        EXPECT_EQ(silent.TakeReceived(), 1);

        ASSERT_TRUE(api.SetValues(mode, silent.peer(), "ortolan", "ortolanpass", "sFlowRcvrOwner.1=x", 1, 0));
        EXPECT_EQ(api.status(), SnmpStatus::Pending);
        ASSERT_TRUE(WaitDone(api));
        EXPECT_EQ(api.errorCode(), -1);
        EXPECT_EQ(silent.TakeReceived(), 1);
        api.ResetSession();
    }
    // A key the library refuses is still a local failure, at once.
    EXPECT_FALSE(api.Walk(3, silent.peer(), "ortolan", "short", "sFlowAgent", 1, 0));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.isPolling());
    EXPECT_EQ(silent.TakeReceived(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, RealAgentTest, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<tagModeCase>& info) { return std::string(info.param.name); });

class RealAgentV2Test : public ::testing::Test {
protected:
    bool Walk(const std::string& community, const std::string& root, int mode = 2)
    {
        return api.Walk(mode, agent.peer(), community, "", root, 5, 1);
    }
    CSnmpdAgent agent;
    CSnmpApi api;
};

TEST_F(RealAgentV2Test, VersionOneWalkEndingInNoSuchNameKeepsItsLines)
{
    START_AGENT(agent, V5AgentTable());
    // "viewonly" sees nothing beyond the version 5 subtree.
    ASSERT_TRUE(Walk("viewonly", "sFlowAgent", 1));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 2);
    EXPECT_EQ(api.results().size(), 24u);
    ASSERT_TRUE(Walk("viewonly", "sFlowAgent", 2));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
    EXPECT_EQ(api.results().size(), 24u);
}

TEST_F(RealAgentV2Test, FirstAnswerOutsideTheSubtreeGivesNoLines)
{
    START_AGENT(agent, V4AgentTable());
    ASSERT_TRUE(Walk("tundra", "sFlowAgent"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 2);
    EXPECT_TRUE(api.results().empty());
}

TEST_F(RealAgentV2Test, WalkThatNeverLeavesItsSubtreeIsBounded)
{
    START_AGENT(agent, V5AgentTable() + "endless " + kV5 + ".4.1.2 string looping\n");
    api.SetWalkLineLimit(300);
    ASSERT_TRUE(Walk("tundra", "sFlowAgent"));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
    ASSERT_EQ(api.results().size(), 300u);
    EXPECT_EQ(api.results().back(), "sFlowRcvrOwner.297=STRING: \"looping\"");
}

TEST_F(RealAgentV2Test, OwnerTextInJapaneseEncodingsIsShownAsText)
{
    START_AGENT(agent, V5AgentTable() + "obj " + kV5 + ".4.1.2.1 octet rw E6 97 A5 E6 9C AC\n" + "obj " + kV5 +
                           ".4.1.2.2 octet rw 93 FA 96 7B\n");
    ASSERT_TRUE(Walk("tundra", "sFlowRcvrOwner"));
    ASSERT_TRUE(WaitDone(api));
    ASSERT_EQ(api.results().size(), 2u);
    EXPECT_EQ(api.results()[0], "sFlowRcvrOwner.1=STRING: 日本");
    EXPECT_EQ(api.results()[1], "sFlowRcvrOwner.2=STRING: 日本");
    EXPECT_EQ(ValueOf(api.results()[1], "sFlowRcvrOwner.2"), "日本");
    // And back: the owner goes out as its UTF-8 bytes.
    ASSERT_TRUE(api.SetValues(2, agent.peer(), "tundra", "", "sFlowRcvrOwner.1=日本\n", 5, 1));
    ASSERT_TRUE(WaitDone(api));
    EXPECT_EQ(api.errorCode(), 0);
    EXPECT_EQ(agent.SetLog(), kV5 + ".4.1.2.1 octet E697A5E69CAC\n");
}

TEST_F(RealAgentV2Test, LongValuesAreCutAndControlBytesBlanked)
{
    START_AGENT(agent, V5AgentTable() + "obj " + kV5 + ".4.1.2.1 string rw " + std::string(3000, 'x') + "\n" +
                           "obj " + kV5 + ".4.1.2.2 octet rw 41 09 42 0A 43 00 44\n");
    ASSERT_TRUE(Walk("tundra", "sFlowRcvrOwner"));
    ASSERT_TRUE(WaitDone(api));
    ASSERT_EQ(api.results().size(), 2u);
    const std::string& longLine = api.results()[0];
    EXPECT_LT(longLine.size(), kPrintCapacity);
    EXPECT_EQ(longLine.rfind("sFlowRcvrOwner.1=STRING: \"xxxx", 0), 0u);
    const std::string& controlLine = api.results()[1];
    EXPECT_EQ(controlLine.rfind("sFlowRcvrOwner.2=", 0), 0u);
    for (char c : controlLine) EXPECT_GE(static_cast<unsigned char>(c), 0x20);
    tagSfReadout readout = ParseV5Results(api.results());
    ASSERT_EQ(readout.receivers.size(), 2u);
    EXPECT_GT(readout.receivers[0].owner.size(), 1000u);
    EXPECT_LT(readout.receivers[0].owner.size(), kPrintCapacity);
}

TEST_F(RealAgentV2Test, LocalFailuresAreRefusedBeforeSending)
{
    START_AGENT(agent, V5AgentTable());
    EXPECT_FALSE(api.SetValues(2, agent.peer(), "tundra", "", "noSuchObject.1=5\nsFlowRcvrPort.1\n", 5, 1));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.SetValues(2, agent.peer(), "tundra", "", "sFlowRcvrOwner.1=" + std::string(256, 'x'), 5, 1));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.Walk(2, "localhost", "tundra", "", "sFlowAgent", 5, 1));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.Walk(2, "127.0.0.1:99999", "tundra", "", "sFlowAgent", 5, 1));
    EXPECT_FALSE(api.Walk(5, agent.peer(), "tundra", "", "sFlowAgent", 5, 1));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.Walk(2, agent.peer(), "tundra", "", "noSuchRoot", 5, 1));
    EXPECT_EQ(api.errorCode(), 6);
    EXPECT_FALSE(api.Walk(2, "", "tundra", "", "sFlowAgent", 5, 1));
    EXPECT_TRUE(agent.SetLog().empty());
}

}  // namespace
}  // namespace ortolan
