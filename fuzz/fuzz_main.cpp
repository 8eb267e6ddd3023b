// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry of one target; ORTOLAN_FUZZ_TARGET names it. A broken
// invariant aborts, so libFuzzer keeps the input like any crash.
#include <cstdio>
#include <cstdlib>

#include "fuzz_bench.h"

namespace {
ortolan::CFuzzBench* bench = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Lives for the whole process; libFuzzer never returns control to tear it down.
    bench = new ortolan::CFuzzBench;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!bench->Run(ORTOLAN_FUZZ_TARGET, data, size)) {
        std::fprintf(stderr, "%s: %s\n", ORTOLAN_FUZZ_TARGET, bench->failure().c_str());
        std::abort();
    }
    return 0;
}
