// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The feed a flow-log replay decodes through: each replayed datagram goes to
// the collector of its kind, counted and decoded as a received one would be
// (FeedDatagram), and nothing is queued for the log again.
#include "flow_log.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {

// The collectors must outlive the feed.
ReplayFeedFn ReplayFeed(CNFlowMon& netflow, CSFlowMon& sflow);

}  // namespace ortolan
