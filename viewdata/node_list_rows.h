// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The local node list: every node with a private address that has sent
// something, from every port of both collectors, one row per node and port.
// The service texts leave out presumed services that a confirmed one covers,
// as in every list; the vendor is that of the node's first MAC.
#include <cstdint>
#include <string_view>
#include <vector>

#include "list_table.h"

namespace ortolan {

class CNFlowMon;
class CSFlowMon;
class IHostNameLookup;
struct tagIpEntry;
class CIpAddress;

// 10.x, 172.16.x to 172.31.x and 192.168.x; IPv6 unique local (fc00::/7) and
// link-local (fe80::/10) addresses.
bool IsLocalAddress(const CIpAddress& address);

// 0 normal, 2 new within the last day, 1 silent for a day (wins over 2).
int NodeImage(const tagIpEntry& node, int64_t now);

std::vector<tagListColumn> NodeListColumns();

// Rows in the order shown when the window opens: the last node visited
// first. `now` is the wall-clock time that decides the images. The names the
// lookup gives fill the host column, which stays empty without one.
tagListTable BuildLocalNodeRows(CSFlowMon& sflow, CNFlowMon& nflow, int64_t now,
                                const IHostNameLookup* hostNames = nullptr);

}  // namespace ortolan
