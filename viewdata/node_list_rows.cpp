// SPDX-License-Identifier: GPL-3.0-or-later
#include "node_list_rows.h"

#include <algorithm>

#include "host_name_lookup.h"
#include "local_time.h"
#include "mon_port.h"
#include "port_texts.h"
#include "name_tables.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

constexpr int64_t kDay = 86400;
constexpr const char* kTimeFormat = "%m/%d %H:%M:%S";

// The estimate without its error bound: "5000(±19.6%)" and "12(ABS)" give the number.
std::string CutAtBracket(std::string text)
{
    auto bracket = text.find('(');
    if (bracket != std::string::npos) text.resize(bracket);
    return text;
}

struct tagNode {
    std::string address;
    const CIpAddress* key;
    const tagIpEntry* entry;
};

// Nodes in the byte-wise order of their address texts.
std::vector<tagNode> SortedNodes(const IpTable& ips)
{
    std::vector<tagNode> nodes;
    nodes.reserve(ips.size());
    for (auto& [key, node] : ips) nodes.push_back({key.String(), &key, &node});
    std::sort(nodes.begin(), nodes.end(), [](const tagNode& a, const tagNode& b) { return a.address < b.address; });
    return nodes;
}

void AddPortRows(std::vector<tagListRow>& rows, const CMonPort& port, const COuiTable& oui,
                 const IHostNameLookup* hostNames, const char* agentFormat, int64_t now)
{
    const tagPortEstimate est(port);
    for (const auto& [address, key, node] : SortedNodes(port.ips)) {
        if (!IsLocalAddress(*key) || node->txPackets == 0) continue;
        // The vendor of the node's first MAC, as the list of MACs shows them.
        const std::string mac = MacList(*node);
        std::string vendorName;
        if (!mac.empty())
            if (const std::string* vendor = oui.Find(std::string_view(mac).substr(0, 8))) vendorName = *vendor;
        const std::string serviceText = ServiceList(port, node->services);

        tagListRow& row = rows.emplace_back();
        row.image = NodeImage(*node, now);
        row.altText = port.agent;
        auto put = [&row](std::string text, double number) {
            row.cells.push_back(std::move(text));
            row.numbers.push_back(number);
        };
        put(address, key->Number());
        put(mac, 0);
        put(hostNames ? hostNames->HostName(port, *key) : std::string(), 0);
        put(CutAtBracket(EstimatedPacketsText(est, node->txPackets)), double(node->txPackets));
        put(EstimatedBytesText(est, node->txBytes), double(node->txBytes));
        put(CutAtBracket(EstimatedPacketsText(est, node->rxPackets)), double(node->rxPackets));
        put(EstimatedBytesText(est, node->rxBytes), double(node->rxBytes));
        put(FormatLocalTime(kTimeFormat, node->firstSeen), double(node->firstSeen));
        put(FormatLocalTime(kTimeFormat, node->lastSeen), double(node->lastSeen));
        put(vendorName, 0);
        put(serviceText, 0);
        put(std::string(agentFormat) + port.agent, 0);
    }
}

}  // namespace

bool IsLocalAddress(const CIpAddress& address) { return address.IsPrivateV4() || address.IsLocalV6(); }

int NodeImage(const tagIpEntry& node, int64_t now)
{
    int image = 0;
    if (node.firstSeen > now - kDay) image = 2;
    if (node.lastSeen < now - kDay) image = 1;
    return image;
}

std::vector<tagListColumn> NodeListColumns()
{
    constexpr SortKind T = SortKind::Text;
    constexpr SortKind N = SortKind::Number;
    return {{"IPアドレス", SortKind::Address},      {"MACアドレス　", T},   {"ホスト名", T},         {"送信パケット   ", N},
            {"送信バイト     ", N}, {"受信パケット　 ", N}, {"受信バイト     ", N},  {"初回検出日時", N},
            {"最終検出日時", N},    {"NICメーカー ", T},    {"サーバ機能", T},       {"エージェント", SortKind::AltText}};
}

tagListTable BuildLocalNodeRows(CSFlowMon& sflow, CNFlowMon& nflow, int64_t now, const IHostNameLookup* hostNames)
{
    tagListTable table;
    table.columns = NodeListColumns();
    for (auto& [key, port] : sflow.ports)
        AddPortRows(table.rows, *port, sflow.names().oui, hostNames, "sFlow:", now);
    for (auto& [key, port] : nflow.ports)
        AddPortRows(table.rows, *port, nflow.names().oui, hostNames, "NetFlow:", now);
    // Each row went in at the top of the list: the last one visited shows first.
    std::reverse(table.rows.begin(), table.rows.end());
    return table;
}

}  // namespace ortolan
