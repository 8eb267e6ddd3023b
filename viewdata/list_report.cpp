// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_report.h"

#include <numeric>

#include "interface_texts.h"
#include "list_csv.h"
#include "list_kind.h"
#include "list_rows.h"
#include "nflow_mon.h"
#include "node_list_rows.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

constexpr const char* kLocalKind = "local";
constexpr const char* kLocalTitle = "ローカルノード一覧";
constexpr int kOpeningSortColumn = 2;

std::string TableCsv(const std::string& title, const tagListTable& table, std::vector<int> order)
{
    if (table.rows.empty()) return {};
    return FormatListCsv(title, table.Headers(), table.Cells(order));
}

std::string PortListCsv(int kind, const CMonPort& port, const COuiTable& oui, const IInterfaceNameLookup* ifNames,
                        bool scaled)
{
    tagBuiltList built =
        BuildListRows(kind, port, oui, nullptr, ifNames ? ifNames->InterfaceNames(port.agent) : nullptr, scaled);
    std::vector<int> order(built.table.rows.size());
    std::iota(order.begin(), order.end(), 0);
    // A window opens with the lists descending, as at program start.
    if (kind != kListKindSizeClasses) SortRowOrder(built.table, order, kOpeningSortColumn, true);
    return TableCsv(ListKindInfo(kind).title, built.table, std::move(order));
}

}  // namespace

bool IsListReportKind(const std::string& kind) { return kind == kLocalKind || ParseListKind(kind).has_value(); }

tagListReport FormatListReport(const std::string& kind, const std::optional<std::string>& portKey,
                               CSFlowMon& sflow, CNFlowMon& nflow, int64_t now, const IInterfaceNameLookup* ifNames,
                               bool scaled)
{
    tagListReport report;
    if (kind == kLocalKind) {
        if (portKey) {
            report.error = "the local node list covers every port; --port does not apply";
            return report;
        }
        report.text = TableCsv(kLocalTitle, BuildLocalNodeRows(sflow, nflow, now), {});
        report.ok = true;
        return report;
    }
    const std::optional<int> listKind = ParseListKind(kind);
    if (!listKind) {
        report.error = "unknown list kind " + kind + " (0 to 12, or local)";
        return report;
    }
    if (portKey) {
        CMonPort* port = sflow.FindPort(*portKey);
        const CNameTables* names = &sflow.names();
        if (!port) {
            port = nflow.FindPort(*portKey);
            names = &nflow.names();
        }
        if (!port) {
            report.error = "no port " + *portKey + " in the replayed logs";
            return report;
        }
        report.text = PortListCsv(*listKind, *port, names->oui, ifNames, scaled);
        report.ok = true;
        return report;
    }
    for (auto& [key, port] : sflow.ports)
        report.text += PortListCsv(*listKind, *port, sflow.names().oui, ifNames, scaled);
    for (auto& [key, port] : nflow.ports)
        report.text += PortListCsv(*listKind, *port, nflow.names().oui, ifNames, scaled);
    report.ok = true;
    return report;
}

}  // namespace ortolan
