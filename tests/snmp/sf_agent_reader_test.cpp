// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "fake_snmp_client.h"
#include "sf_agent_reader.h"
#include "sf_messages.h"

namespace ortolan {
namespace {

using testing::CFakeSnmpClient;
using testing::tagFakeOutcome;

const tagSnmpAccess kAccess{3, "192.168.1.2", "md5user", "md5password"};
const std::vector<std::string> kV5Lines = {
    "sFlowVersion.0=STRING: 1.3;x;y", "sFlowRcvrOwner.1=STRING: \"a\"",
    "sFlowFsReceiver.11.1.3.6.1.2.1.2.2.1.1.5.1=INTEGER: 1"};
const std::vector<std::string> kV4Lines = {"sFlowVersionV4.0=STRING: 1.2",
                                           "sFlowDataSource.11.1.3.6.1.2.1.2.2.1.1.3=ifIndex.3"};

class ReaderTest : public ::testing::Test {
protected:
    CFakeSnmpClient snmp;
    CSfAgentReader reader{snmp};

    // Starts a read and polls until the reader is idle; the messages shown.
    std::vector<std::string> Read()
    {
        std::vector<std::string> messages;
        tagSfStepOutcome outcome;
        if (!reader.StartRead(kAccess, outcome)) messages.push_back(outcome.message);
        for (int i = 0; i < 10 && reader.busyState() != BusyState::Idle; ++i) {
            outcome = reader.Poll();
            if (!outcome.message.empty()) messages.push_back(outcome.message);
        }
        return messages;
    }
};

TEST_F(ReaderTest, VersionFiveAgentIsReadWithOneWalk)
{
    snmp.outcomes.push_back({true, 0, kV5Lines});
    EXPECT_TRUE(Read().empty());
    ASSERT_EQ(snmp.requests.size(), 1u);
    const auto& walk = snmp.requests[0];
    EXPECT_TRUE(walk.isWalk);
    EXPECT_EQ(walk.rootOrLines, "sFlowAgent");
    EXPECT_EQ(walk.mode, 3);
    EXPECT_EQ(walk.peer, "192.168.1.2");
    EXPECT_EQ(walk.communityOrUser, "md5user");
    EXPECT_EQ(walk.password, "md5password");
    EXPECT_EQ(walk.timeoutSeconds, 5);
    EXPECT_EQ(walk.retries, 2);
    EXPECT_EQ(reader.mibGeneration(), 5);
    EXPECT_EQ(reader.readout().receivers.size(), 1u);
    EXPECT_EQ(reader.readout().v5Ports.size(), 1u);
    EXPECT_GE(snmp.resets, 1);
}

TEST_F(ReaderTest, AgentWithoutVersionFiveMibGetsASecondWalk)
{
    snmp.outcomes.push_back({true, 2, {}});
    snmp.outcomes.push_back({true, 0, kV4Lines});
    EXPECT_TRUE(Read().empty());
    ASSERT_EQ(snmp.requests.size(), 2u);
    EXPECT_EQ(snmp.requests[1].rootOrLines, "sFlowAgentV4");
    EXPECT_EQ(snmp.requests[1].timeoutSeconds, 5);
    EXPECT_EQ(reader.mibGeneration(), 4);
    EXPECT_EQ(reader.portColumnsGeneration(), 4);
    EXPECT_EQ(reader.readout().v4Ports.size(), 1u);
}

TEST_F(ReaderTest, LinesBeforeAnAgentErrorAreUsed)
{
    snmp.outcomes.push_back({true, 2, kV5Lines});
    EXPECT_TRUE(Read().empty());
    EXPECT_EQ(snmp.requests.size(), 1u);
    EXPECT_EQ(reader.mibGeneration(), 5);
}

TEST_F(ReaderTest, SilentAgentGivesOneMessageAndClearsTheGeneration)
{
    snmp.outcomes.push_back({true, 0, kV5Lines});
    Read();
    snmp.outcomes.push_back({true, -1, {}});
    snmp.outcomes.push_back({true, -1, {}});
    EXPECT_EQ(Read(), (std::vector<std::string>{kMsgNoSflowInfo}));
    EXPECT_EQ(reader.mibGeneration(), 0);
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
    // The rows read before stay.
    EXPECT_EQ(reader.readout().receivers.size(), 1u);
}

TEST_F(ReaderTest, WalksThatCannotStartAreReported)
{
    snmp.outcomes.push_back({false, 6, {}});
    EXPECT_EQ(Read(), (std::vector<std::string>{kMsgRequestNotSent}));
    snmp.outcomes.push_back({true, 2, {}});
    snmp.outcomes.push_back({false, 6, {}});
    EXPECT_EQ(Read(), (std::vector<std::string>{kMsgNoSflowInfo}));
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
}

TEST_F(ReaderTest, NothingHappensWhileTheRequestIsPending)
{
    snmp.holdPending = true;
    snmp.outcomes.push_back({true, 0, kV5Lines});
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartRead(kAccess, outcome));
    for (int i = 0; i < 3; ++i) {
        outcome = reader.Poll();
        EXPECT_TRUE(outcome.message.empty());
        EXPECT_FALSE(outcome.listsChanged);
        EXPECT_EQ(reader.busyState(), BusyState::ReadingV5);
    }
    snmp.Complete();
    EXPECT_TRUE(reader.Poll().listsChanged);
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
}

TEST_F(ReaderTest, SuccessfulSetReReadsTheSameGeneration)
{
    snmp.outcomes.push_back({true, 2, {}});
    snmp.outcomes.push_back({true, 0, kV4Lines});
    Read();
    snmp.outcomes.push_back({true, 0, {"sFlowOwner.1=STRING: \"x\""}});
    snmp.outcomes.push_back({true, 0, kV4Lines});
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartSet(kAccess, "sFlowOwner.1=x\n", outcome));
    EXPECT_EQ(reader.busyState(), BusyState::AfterSet);
    outcome = reader.Poll();
    EXPECT_TRUE(outcome.listsChanged);
    EXPECT_TRUE(reader.readout().v4Ports.empty());  // port rows go before the re-read
    EXPECT_EQ(reader.busyState(), BusyState::ReadingV4);
    reader.Poll();
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
    ASSERT_EQ(snmp.requests.size(), 4u);
    EXPECT_FALSE(snmp.requests[2].isWalk);
    EXPECT_EQ(snmp.requests[2].rootOrLines, "sFlowOwner.1=x\n");
    EXPECT_EQ(snmp.requests[2].timeoutSeconds, 2);
    EXPECT_EQ(snmp.requests[2].retries, 2);
    EXPECT_EQ(snmp.requests[3].rootOrLines, "sFlowAgentV4");
    EXPECT_EQ(snmp.requests[3].timeoutSeconds, 3);
    EXPECT_EQ(reader.readout().v4Ports.size(), 1u);
}

TEST_F(ReaderTest, RefusedSetKeepsTheRowsAndShowsTheQuilletMessage)
{
    snmp.outcomes.push_back({true, 0, kV5Lines});
    Read();
    for (int code : {4, 5, -1, 6}) {
        snmp.outcomes.push_back({true, code, {}});
        tagSfStepOutcome outcome;
        ASSERT_TRUE(reader.StartSet(kAccess, "sFlowRcvrPort.1=1\n", outcome));
        outcome = reader.Poll();
        EXPECT_EQ(outcome.message, kMsgSetFailed) << code;
        EXPECT_EQ(reader.busyState(), BusyState::Idle);
        EXPECT_EQ(reader.readout().v5Ports.size(), 1u);
    }
}

TEST_F(ReaderTest, SetThatCannotBeSentStaysIdle)
{
    snmp.outcomes.push_back({false, 6, {}});
    tagSfStepOutcome outcome;
    EXPECT_FALSE(reader.StartSet(kAccess, "x.1=1\n", outcome));
    EXPECT_EQ(outcome.message, kMsgSetRequestNotSent);
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
}

TEST_F(ReaderTest, ReReadThatCannotStartIsReported)
{
    snmp.outcomes.push_back({true, 0, kV5Lines});
    Read();
    snmp.outcomes.push_back({true, 0, {}});
    snmp.outcomes.push_back({false, 6, {}});
    tagSfStepOutcome outcome;
    ASSERT_TRUE(reader.StartSet(kAccess, "x.1=1\n", outcome));
    EXPECT_EQ(reader.Poll().message, kMsgNoSflowInfo);
    EXPECT_EQ(reader.busyState(), BusyState::Idle);
}

}  // namespace
}  // namespace ortolan
