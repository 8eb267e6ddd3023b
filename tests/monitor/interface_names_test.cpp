// SPDX-License-Identifier: GPL-3.0-or-later
// The interface names of a monitoring session: the agents' SNMP settings as
// the settings store holds them, the cache in the state folder, and the
// keeper that reads each agent in turn through a reader answered by hand.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "agent_snmp_settings.h"
#include "interface_name_cache.h"
#include "interface_name_keeper.h"

namespace ortolan {
namespace {

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "monitor_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class CHandReader : public IInterfaceNameReader {
public:
    std::vector<tagAgentSnmp> asked;
    std::vector<DoneFn> pending;
    void StartRead(const tagAgentSnmp& agent, DoneFn done) override
    {
        asked.push_back(agent);
        pending.push_back(std::move(done));
    }
    void Answer(bool answered, const IfNameTable& table)
    {
        DoneFn done = std::move(pending.front());
        pending.erase(pending.begin());
        done(answered, table);
    }
};

TEST(SnmpAgentSettings, ReadFromTheStoreAndWhatDoesNotReadIsLeftOut)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/ortolan.conf";
    WriteText(file.toStdString(),
              "[Setting]\nLOGPATH=/tmp\n"
              "[SnmpAgents]\n"
              "192.168.1.11=v2c public\n"
              "10.0.0.1=v3priv monitor secretphrase 1161\n"
              "10.0.0.2=v3auth onlyuser\n"       // no pass phrase
              "10.0.0.3=v2c public 70000\n"      // no port
              "10.0.0.4=v9 public\n"             // no mode
              "10.0.0.5=v1 public 161 more\n"    // a word too many
              "host.example=v2c public\n"        // no address
              "10.0.0.6=v1   old  \n");
    QSettings settings(file, QSettings::IniFormat);
    std::vector<tagAgentSnmp> agents = ReadAgentSnmpSettings(settings);
    ASSERT_EQ(agents.size(), 3u);
    // The store lists its keys in order.
    EXPECT_EQ(agents[0].agent, "10.0.0.1");
    EXPECT_EQ(agents[0].mode, 4);
    EXPECT_EQ(agents[0].communityOrUser, "monitor");
    EXPECT_EQ(agents[0].password, "secretphrase");
    EXPECT_EQ(agents[0].port, 1161);
    EXPECT_EQ(agents[1].agent, "10.0.0.6");
    EXPECT_EQ(agents[1].mode, 1);
    EXPECT_EQ(agents[1].communityOrUser, "old");
    EXPECT_EQ(agents[1].port, 161);
    EXPECT_EQ(agents[2].agent, "192.168.1.11");
    EXPECT_EQ(agents[2].mode, 2);
    EXPECT_EQ(agents[2].communityOrUser, "public");

    QSettings empty(dir.path() + "/none.conf", QSettings::IniFormat);
    EXPECT_TRUE(ReadAgentSnmpSettings(empty).empty());
}

TEST(InterfaceNameCache, DamagedOrForeignFilesGiveWhatReadsWithinTheBounds)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/" + kIfNameCacheFile;
    EXPECT_TRUE(LoadInterfaceNames(path).empty());  // missing

    std::string text = "ortolan interface names 1\n"
                       "10.0.0.1\t3\t1000000000\tge-0/0/3\tuplink\n"
                       "10.0.0.1\t0\t1\tzero\t\n"            // no ifIndex 0
                       "10.0.0.1\tx\t1\tnot a number\t\n"
                       "10.0.0.1\t4\t-5\tminus\t\n"
                       "10.0.0.1\t5\t1\ttoo\tmany\tfields\n"
                       "garbage\n"
                       "\t6\t1\tno agent\t\n"
                       "10.0.0.2\t7\t0\t" + std::string(200, 'n') + "\t\r\n";
    for (uint32_t i = 1; i <= kMaxIfNameEntries + 10; ++i)
        text += "10.0.0.3\t" + std::to_string(i) + "\t0\tif" + std::to_string(i) + "\t\n";
    text += "10.0.0.1\t8\t10\tcut\t";  // no line break: still a whole line
    WriteText(path, text);
    AgentIfNames names = LoadInterfaceNames(path);
    ASSERT_EQ(names.size(), 3u);
    ASSERT_EQ(names["10.0.0.1"].size(), 2u);
    EXPECT_EQ(names["10.0.0.1"][3].name, "ge-0/0/3");
    EXPECT_EQ(names["10.0.0.1"][3].alias, "uplink");
    EXPECT_EQ(names["10.0.0.1"][3].speedBitsPerSecond, 1000000000u);
    EXPECT_EQ(names["10.0.0.1"][8].name, "cut");
    EXPECT_EQ(names["10.0.0.2"][7].name, std::string(kMaxIfNameBytes, 'n'));
    EXPECT_EQ(names["10.0.0.3"].size(), kMaxIfNameEntries);

    // What is saved reads back as it was.
    ASSERT_TRUE(SaveInterfaceNames(path, names));
    EXPECT_EQ(LoadInterfaceNames(path), names);

    // A file of another kind, or one that is all binary, gives nothing.
    WriteText(path, "10.0.0.1\t3\t0\teth0\t\n");
    EXPECT_TRUE(LoadInterfaceNames(path).empty());
    WriteText(path, std::string("\0\xff\n\t\t", 5));
    EXPECT_TRUE(LoadInterfaceNames(path).empty());
}

TEST(InterfaceNameKeeper, ShowsTheCacheAtOnceThenEachAgentsAnswerInTurn)
{
    EnsureApp();
    QTemporaryDir dir;
    const std::string cache = dir.path().toStdString() + "/" + kIfNameCacheFile;
    WriteText(cache, "ortolan interface names 1\n"
                     "10.0.0.1\t3\t0\told-name\t\n"
                     "10.0.0.9\t1\t0\tnot configured\t\n");
    tagAgentSnmp first{"10.0.0.1", 2, "public", "", 161};
    tagAgentSnmp second{"10.0.0.2", 4, "user", "passphrase", 1161};

    CHandReader reader;
    {
        CInterfaceNameKeeper keeper;
        int changes = 0;
        QObject::connect(&keeper, &CInterfaceNameKeeper::NamesChanged, [&] { ++changes; });
        keeper.Start(&reader, {first, second}, cache);
        // The cache shows before any answer, and only for configured agents.
        ASSERT_NE(keeper.Find("10.0.0.1"), nullptr);
        EXPECT_EQ(keeper.Find("10.0.0.1")->at(3).name, "old-name");
        EXPECT_EQ(keeper.Find("10.0.0.9"), nullptr);
        EXPECT_EQ(changes, 1);
        // One reading at a time.
        ASSERT_EQ(reader.asked.size(), 1u);
        EXPECT_EQ(reader.asked[0].agent, "10.0.0.1");
        EXPECT_TRUE(keeper.readTimer().isActive());
        EXPECT_EQ(keeper.readTimer().interval(), 3600 * 1000);

        // A second round while one runs is not started.
        keeper.ReadAll();
        EXPECT_EQ(reader.asked.size(), 1u);

        reader.Answer(true, {{3, {"ge-0/0/3", "uplink", 1000000000}}});
        EXPECT_EQ(keeper.Find("10.0.0.1")->at(3).name, "ge-0/0/3");
        EXPECT_EQ(changes, 2);
        ASSERT_EQ(reader.asked.size(), 2u);
        EXPECT_EQ(reader.asked[1].agent, "10.0.0.2");
        EXPECT_EQ(reader.asked[1].port, 1161);
        // The second agent does not answer: nothing of it is known, the first stays.
        reader.Answer(false, {});
        EXPECT_EQ(keeper.Find("10.0.0.2"), nullptr);
        EXPECT_FALSE(keeper.reading());
        EXPECT_EQ(keeper.answers(), 1);

        // The hour's round reads both again; the first now stays silent and keeps its names.
        keeper.ReadAll();
        ASSERT_EQ(reader.asked.size(), 3u);
        reader.Answer(false, {});
        reader.Answer(true, {{2, {"eth1", "", 0}}});
        EXPECT_EQ(keeper.Find("10.0.0.1")->at(3).alias, "uplink");
        EXPECT_EQ(keeper.Find("10.0.0.2")->at(2).name, "eth1");
    }

    // The next session starts from what the last one learnt.
    CHandReader next;
    CInterfaceNameKeeper keeper;
    keeper.Start(&next, {first, second}, cache);
    ASSERT_NE(keeper.Find("10.0.0.1"), nullptr);
    EXPECT_EQ(keeper.Find("10.0.0.1")->at(3).name, "ge-0/0/3");
    EXPECT_EQ(keeper.Find("10.0.0.2")->at(2).name, "eth1");

    // No agents configured: nothing is read, nothing is shown, no timer runs.
    CHandReader idle;
    CInterfaceNameKeeper none;
    none.Start(&idle, {}, cache);
    EXPECT_TRUE(idle.asked.empty());
    EXPECT_TRUE(none.names().empty());
    EXPECT_FALSE(none.readTimer().isActive());
}

}  // namespace
}  // namespace ortolan
