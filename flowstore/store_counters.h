// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the row store tells of its queue and inserts: the counters line and
// the metrics read it, from threads other than the store's.
#include <cstdint>

namespace ortolan {

struct tagStoreCounters {
    uint64_t rowsQueued = 0;     // rows handed to the store
    uint64_t rowsSent = 0;       // rows the server took
    uint64_t rowsDropped = 0;    // rows refused by the queue's bound
    uint64_t failedInserts = 0;  // requests that failed: no answer, timed out, cut off, 5xx
    uint64_t refusals = 0;       // requests refused: 400, 401, 403, 404
    uint64_t rowsHeld = 0;       // rows in the queue now, a batch being sent included
    uint64_t rowsUnsent = 0;     // rows given up at the stop
};

}  // namespace ortolan
