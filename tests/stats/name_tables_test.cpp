// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "name_tables.h"

namespace ortolan {
namespace {

class NameTableFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        auto path = std::filesystem::temp_directory_path() /
                    ("ortolan-" + std::to_string(::getpid()) + "-" + name);
        std::ofstream(path, std::ios::binary) << text;
        m_paths.push_back(path.string());
        return path.string();
    }
    void TearDown() override
    {
        for (auto& p : m_paths) std::remove(p.c_str());
    }

private:
    std::vector<std::string> m_paths;
};

TEST_F(NameTableFiles, OuiLinesGiveColonKeysAndTrimmedNames)
{
    COuiTable table;
    ASSERT_TRUE(table.LoadOuiTable(Write("oui.txt",
        "OUI/MA-L\t\t\tOrganization\r\n"
        "08-00-20   (hex)\t\tOracle Corporation\r\n"
        "080020     (base 16)\t\tOracle Corporation\r\n"
        "00-00-0c (hex) Cisco Systems, Inc\n")));
    EXPECT_EQ(table.ouiNames.size(), 2u);
    EXPECT_EQ(table.ouiNames.at("08:00:20"), "Oracle Corporation");
    EXPECT_EQ(table.VendorOf(" 00:00:0c:12:34:56 "), "Cisco Systems, Inc");
    EXPECT_EQ(table.VendorOf("00:99:88:00:00:01"), "不明(00:99:88)");
}

TEST_F(NameTableFiles, ProtocolNumbersFromOneTo254)
{
    CNameTables names;
    ASSERT_TRUE(names.LoadProtocolTable(Write("IPProt.txt",
        "# comment\n6 TCP\n17\tUDP extra\n0 HOPOPT\n255 Reserved\n1ICMP\nx 9 bad\n6 TCP2\n")));
    EXPECT_EQ(names.ipProtocolNames.size(), 3u);
    EXPECT_EQ(*names.ProtocolName(6), "TCP2") << "a later line replaces an earlier one";
    EXPECT_EQ(*names.ProtocolName(17), "UDP");
    EXPECT_EQ(*names.ProtocolName(1), "ICMP");
    EXPECT_EQ(names.ProtocolName(0), nullptr);
}

TEST_F(NameTableFiles, ServicesEnterOneTableEach)
{
    CNameTables names;
    ASSERT_TRUE(names.LoadPortTable(Write("Port.txt",
        "ftp\t\t21/tcp\n"
        "domain\t\t53/udp\t\t\t# DNS\n"
        "  http 80/tcp www # WorldWideWeb\n"
        "big 70000/tcp\n"
        "#hidden 99/tcp\n"
        "broken/tcp 12/udp\n"
        "nothing here\n")));
    EXPECT_EQ(*names.TcpName(21), "ftp");
    EXPECT_EQ(names.UdpName(21), nullptr);
    EXPECT_EQ(*names.UdpName(53), "domain");
    EXPECT_EQ(names.TcpName(53), nullptr);
    EXPECT_EQ(*names.TcpName(80), "http");
    EXPECT_EQ(*names.TcpName(99), "#hidden") << "no comment syntax is recognised";
    EXPECT_EQ(names.tcpPortNames.size(), 3u);
    EXPECT_EQ(names.udpPortNames.size(), 1u) << "a line dropped at /tcp is not tried for /udp";
}

TEST_F(NameTableFiles, MissingFileKeepsTheTable)
{
    CNameTables names;
    ASSERT_TRUE(names.LoadPortTable(Write("Port.txt", "ftp 21/tcp\n")));
    EXPECT_FALSE(names.LoadPortTable("/nonexistent/Port.txt"));
    EXPECT_FALSE(names.LoadProtocolTable("/nonexistent/IPProt.txt"));
    EXPECT_EQ(*names.TcpName(21), "ftp");
    COuiTable oui;
    EXPECT_FALSE(oui.LoadOuiTable("/nonexistent/oui.txt"));
}

}  // namespace
}  // namespace ortolan
