// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of the thirteen statistics lists of one port, as plain texts and raw
// values: the list window shows them and the headless report writes them.
// The service texts leave out presumed services that a confirmed one covers;
// the statistics keep them.
#include <vector>

#include "interface_names.h"
#include "list_table.h"
#include "share_chart.h"

namespace ortolan {

class CMonPort;
class COuiTable;
class IHostNameLookup;

struct tagBuiltList {
    tagListTable table;                  // rows in the order the entries were visited
    std::vector<tagTopEntry> topEntries;  // the chart's slices
    double total = 0;                    // sum of the charted values of every row
};

// Entries are visited in byte-wise key order, so equal values come out the
// same way on every run. An invalid kind gives an empty list without columns.
// The IP list shows the names the lookup gives, none without one; the
// interface list shows the port's agent's interface names beside each
// ifIndex ("3 ge-0/0/3 (uplink)"), the number alone without one. Scaled,
// every packet and byte cell and the chart's shares hold the figures scaled by
// the sampling rates (the sum of count x rate, as whole numbers); the
// interface list scales only NetFlow's sums of flow records (by their mean
// factor), and the vendor list counts nodes, never scaled.
tagBuiltList BuildListRows(int kind, const CMonPort& port, const COuiTable& oui,
                           const IHostNameLookup* hostNames = nullptr, const IfNameTable* ifNames = nullptr,
                           bool scaled = false);

// The column headers of a kind, exactly as the list shows them.
std::vector<tagListColumn> ListColumns(int kind);

// "a.b.c.d:tos" as the type-of-service text: 8 binary digits, most significant
// first, a blank after the third and sixth ("101 110 00" for 184).
std::string TosBitsText(unsigned tos);

}  // namespace ortolan
