// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <map>
#include <sstream>

#include "agent_command.h"
#include "agent_tables.h"
#include "fake_snmp_client.h"
#include "snmp_api.h"
#include "snmp_library.h"
#include "snmpd_agent.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

struct tagRun {
    int status = 0;
    std::string out;
    std::string err;
};

tagRun RunCommand(const std::vector<std::string>& args, ISnmpClient& snmp, const tagSfTimings& timings = {})
{
    std::ostringstream out, err;
    tagRun run;
    run.status = RunAgentCommand(args, snmp, out, err, timings, [] { SnmpPollTick(); });
    run.out = out.str();
    run.err = err.str();
    return run;
}

bool HaveSnmpd()
{
    if (CSnmpdAgent::Available()) return true;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") ADD_FAILURE() << "snmpd is not installed";
    return false;
}

TEST(AgentCommand, PrintsTheThreeListsOfAVersionFiveAgent)
{
    if (!HaveSnmpd()) GTEST_SKIP() << "snmpd is not installed";
    CSnmpdAgent agent;
    ASSERT_TRUE(agent.Start(V5AgentTable())) << agent.problem();
    std::string port = agent.peer().substr(10);
    CSnmpApi snmp;
    tagRun run = RunCommand({"--mode", "v3priv", "--user", "desuser", "--password", "despassword", "--port", port,
                      "127.0.0.1"},
                     snmp);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "\"sFlowエージェント情報\"\n"
              "\"バージョン\",\"アドレス\",\"MIBバージョン\"\n"
              "\"1.3;Ortolan test agent;1.0\",\"192.168.1.11\",\"Ver.5\"\n"
              "\"sFlowコレクタ設定\"\n"
              "\"コレクタ番号\",\"オナー文字列\",\"収集期間（秒）\",\"パケットサイズ\",\"コレクターＩＰ\",\"ポート\","
              "\"sFlowバージョン\"\n"
              "\"1\",\"ortolan\",\"86400\",\"1400\",\"10.0.0.1\",\"6343\",\"5\"\n"
              "\"2\",\"\",\"0\",\"1400\",\"65.66.67.68\",\"6343\",\"5\"\n"
              "\"sFlowポート設定\"\n"
              "\"データソース\",\"インスタンス\",\"Flowコレクタ番号\",\"サンプルレート\",\"ヘッダサイズ\","
              "\"Counterコレクタ番号\",\"カウンタ間隔\",\"Index\"\n"
              "\"ifIndex.5\",\"1\",\"1\",\"400\",\"128\",\"1\",\"30\",\"" + kIfIndex5 + "\"\n"
              "\"ifIndex.7\",\"1\",\"\",\"\",\"\",\"1\",\"20\",\"" + kIfIndex7 + "\"\n");
}

TEST(AgentCommand, OlderMibAgentListsElevenColumnsAndNoCollectors)
{
    if (!HaveSnmpd()) GTEST_SKIP() << "snmpd is not installed";
    CSnmpdAgent agent;
    ASSERT_TRUE(agent.Start(V4AgentTable())) << agent.problem();
    CSnmpApi snmp;
    tagRun run = RunCommand({"--mode", "v2c", "--community", "public", "--port", agent.peer().substr(10), "127.0.0.1"}, snmp);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"sFlowコレクタ設定\"\n\"コレクタ番号\",\"オナー文字列\",\"収集期間（秒）\","
                           "\"パケットサイズ\",\"コレクターＩＰ\",\"ポート\",\"sFlowバージョン\"\n\"sFlowポート設定\"\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"ifIndex.3\",\"v4owner\",\"7200\",\"512\",\"20\",\"128\",\"1400\",\"192.168.1.10\","
                           "\"6343\",\"4\",\"" + kV4IfIndex3 + "\"\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"Ver.4\""), std::string::npos);
}

// One column of the daemon's IF-MIB as snmpwalk prints it, by ifIndex.
std::map<uint32_t, std::string> SnmpwalkColumn(const std::string& peer, const std::string& column)
{
    QProcess walk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIBS", "");
    walk.setProcessEnvironment(env);
    walk.start("snmpwalk", {"-m", "", "-v2c", "-c", "tundra", "-On", "-OQ", "-t", "5", QString::fromStdString(peer),
                            QString::fromStdString(column)});
    std::map<uint32_t, std::string> values;
    if (!walk.waitForFinished(60000)) return values;
    const std::string prefix = column + ".";
    for (const QByteArray& raw : walk.readAllStandardOutput().split('\n')) {
        std::string line = raw.toStdString();
        size_t equals = line.find(" = ");
        if (line.rfind(prefix, 0) != 0 || equals == std::string::npos) continue;
        std::string value = line.substr(equals + 3);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        values[uint32_t(std::stoul(line.substr(prefix.size(), equals - prefix.size())))] = value;
    }
    return values;
}

// The daemon serves the machine's own interfaces: the command must list what
// snmpwalk reads of the same daemon, in v2c and in SNMPv3 with privacy.
TEST(AgentCommand, InterfacesListWhatSnmpwalkReadsOfTheSameDaemon)
{
    if (!HaveSnmpd()) GTEST_SKIP() << "snmpd is not installed";
    if (QStandardPaths::findExecutable("snmpwalk").isEmpty()) GTEST_SKIP() << "snmpwalk is not installed";
    CSnmpdAgent agent;
    ASSERT_TRUE(agent.Start(V5AgentTable())) << agent.problem();
    std::map<uint32_t, std::string> names = SnmpwalkColumn(agent.peer(), ".1.3.6.1.2.1.31.1.1.1.1");
    std::map<uint32_t, std::string> aliases = SnmpwalkColumn(agent.peer(), ".1.3.6.1.2.1.31.1.1.1.18");
    std::map<uint32_t, std::string> speeds = SnmpwalkColumn(agent.peer(), ".1.3.6.1.2.1.31.1.1.1.15");
    ASSERT_FALSE(names.empty()) << "snmpwalk read no ifName";
    std::string expected = "\"インターフェース一覧\"\n\"ifIndex\",\"ifName\",\"ifAlias\",\"速度（bit/秒）\"\n";
    for (const auto& [ifIndex, name] : names) {
        uint64_t megabits = speeds.count(ifIndex) ? std::stoull(speeds[ifIndex]) : 0;
        std::string alias = aliases[ifIndex] == name ? "" : aliases[ifIndex];
        expected += "\"" + std::to_string(ifIndex) + "\",\"" + name + "\",\"" + alias + "\",\"" +
                    (megabits ? std::to_string(megabits * 1000000) : "") + "\"\n";
    }

    std::string port = agent.peer().substr(10);
    for (const std::vector<std::string>& access :
         {std::vector<std::string>{"--mode", "v2c"},
          std::vector<std::string>{"--mode", "v3priv", "--user", "desuser", "--password", "despassword"}}) {
        std::vector<std::string> args = access;
        for (const char* more : {"--interfaces", "--port"}) args.push_back(more);
        args.push_back(port);
        args.push_back("127.0.0.1");
        CSnmpApi snmp;
        tagRun run = RunCommand(args, snmp);
        EXPECT_EQ(run.status, 0) << access[1] << ": " << run.err;
        EXPECT_EQ(run.err, "") << access[1];
        EXPECT_EQ(run.out, expected) << access[1];
    }

    // A community the agent does not know gets no answer: the command says so.
    CSnmpApi snmp;
    tagRun refused = RunCommand({"--mode", "v2c", "--community", "nobody", "--interfaces", "--port", port, "127.0.0.1"},
                                snmp, tagSfTimings{1, 0, 1, 0, 1, 0});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "インターフェース情報が取得できません。\n");
}

TEST(AgentCommand, SilentAgentPrintsTheWindowsMessage)
{
    CSilentAgent silent;
    CSnmpApi snmp;
    std::string peer = silent.peer();
    tagRun run = RunCommand({"--port", peer.substr(10), "127.0.0.1"}, snmp, tagSfTimings{1, 0, 1, 0, 1, 0});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "sFlow情報が取得できません。\n");
}

TEST(AgentCommand, UsesTheWindowsDefaultsAndAccessValues)
{
    CFakeSnmpClient fake;
    fake.outcomes.push_back({true, 0, {"sFlowVersion.0=STRING: 1.3"}});
    tagRun run = RunCommand({"10.0.0.1"}, fake);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(fake.requests.size(), 1u);
    EXPECT_EQ(fake.requests[0].mode, 1);
    EXPECT_EQ(fake.requests[0].peer, "10.0.0.1");
    EXPECT_EQ(fake.requests[0].communityOrUser, "tundra");
    EXPECT_EQ(fake.requests[0].timeoutSeconds, 5);
    EXPECT_EQ(fake.requests[0].retries, 2);

    CFakeSnmpClient v3;
    v3.outcomes.push_back({false, 6, {}});
    run = RunCommand({"--mode", "v3auth", "--user", "u", "--password", "short", "10.0.0.1"}, v3);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "リクエストを送信できません。\n");
    ASSERT_EQ(v3.requests.size(), 1u);
    EXPECT_EQ(v3.requests[0].mode, 3);
    EXPECT_EQ(v3.requests[0].communityOrUser, "u");
    EXPECT_EQ(v3.requests[0].password, "short");
}

// The program as installed cannot write beside itself: the library's state
// goes to the user's state folder, and stays the same size run after run.
TEST(AgentCommand, LibraryStateStaysBoundedInTheUsersStateFolder)
{
    if (!HaveSnmpd()) GTEST_SKIP() << "snmpd is not installed";
    CSnmpdAgent agent;
    ASSERT_TRUE(agent.Start(V5AgentTable())) << agent.problem();
    QTemporaryDir state;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", state.path());
    const QString stateFile = state.filePath("ortolan/ORTOLAN.tmp");
    const QFileInfo besideProgram(QFileInfo(ORTOLAN_EXECUTABLE).absolutePath() + "/Config/ORTOLAN.tmp");
    const QDateTime besideBefore = besideProgram.exists() ? besideProgram.lastModified() : QDateTime();

    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(ORTOLAN_EXECUTABLE, QStringList{"agent"} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.exitCode();
    };
    const QStringList read = {"--port", QString::fromStdString(agent.peer().substr(10)), "127.0.0.1"};
    std::vector<qint64> sizes;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run(read), 0);
        sizes.push_back(QFileInfo(stateFile).size());
    }
    EXPECT_GT(sizes[0], 0);
    EXPECT_EQ(sizes[2], sizes[0]) << "the file does not grow from run to run";
    const QByteArray written = [&] {
        QFile f(stateFile);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_EQ(run({"--port", "0", "127.0.0.1"}), 2);
    QFile after(stateFile);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), written) << "a usage error leaves the library's files alone";
    QFileInfo beside(besideProgram.absoluteFilePath());
    EXPECT_EQ(beside.exists() ? beside.lastModified() : QDateTime(), besideBefore) << "nothing written beside the program";
}

TEST(AgentCommand, WrongArgumentsAreRefusedBeforeAnyRequest)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"host.example"},
             {"--mode", "v9", "10.0.0.1"},
             {"--port", "0", "10.0.0.1"},
             {"--port", "65536", "10.0.0.1"},
             {"--mode", "v3priv", "--user", "u", "10.0.0.1"},
             {"--bogus", "10.0.0.1"},
             {"10.0.0.1", "10.0.0.2"},
             {"--community"}}) {
        CFakeSnmpClient fake;
        tagRun run = RunCommand(args, fake);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("ortolan agent: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("Try 'ortolan agent --help'"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_TRUE(fake.requests.empty());
    }
}

}  // namespace
}  // namespace ortolan
