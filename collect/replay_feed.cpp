// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay_feed.h"

namespace ortolan {

ReplayFeedFn ReplayFeed(CNFlowMon& netflow, CSFlowMon& sflow)
{
    return [&netflow, &sflow](const tagReplayDatagram& d) {
        CFlowCollector& collector =
            d.isNetFlow ? static_cast<CFlowCollector&>(netflow) : static_cast<CFlowCollector&>(sflow);
        collector.FeedDatagram(d.bytes, d.length, d.time, d.sender, d.senderPort);
    };
}

}  // namespace ortolan
