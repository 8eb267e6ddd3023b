#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzzers (clang-14, libFuzzer, ASan and UBSan) and runs every target
# for a given time, one after the other, printing one summary line per target.
#   scripts/fuzz.sh                 about 30 seconds per target
#   scripts/fuzz.sh 600             ten minutes per target
#   scripts/fuzz.sh 60 sflow_datagram netflow_datagram
# Environment: FUZZ_BUILD (build folder, default build-fuzz in the repository),
# FUZZ_JOBS (parallel fuzzing processes per target, default 1).
# Inputs the fuzzers find interesting gather in $FUZZ_BUILD/corpus/<target>;
# a crash leaves its input in $FUZZ_BUILD/artifacts/<target>/ and makes the
# script exit non-zero. Copy such an input to fuzz/regressions/<target>/ so
# the robustness tests replay it for good.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
shift || true
build=${FUZZ_BUILD:-$root/build-fuzz}
jobs=${FUZZ_JOBS:-1}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "fuzz.sh: seconds must be a whole number" >&2; exit 2; }

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$root/fuzz" -B "$build" "${generator[@]}" >/dev/null || exit 2
fi
cmake --build "$build" -j2 >/dev/null || { echo "fuzz.sh: build failed" >&2; exit 2; }

if [[ $# -gt 0 ]]; then targets=("$@"); else mapfile -t targets < "$build/targets.txt"; fi

failed=0
for t in "${targets[@]}"; do
  [[ -z "$t" ]] && continue
  exe="$build/fuzz_$t"
  if [[ ! -x "$exe" ]]; then echo "$t: no such fuzzer" >&2; failed=1; continue; fi
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$work" "$artifacts"
  seeds=()
  for d in "$root/fuzz/corpus/$t" "$root/fuzz/regressions/$t"; do
    [[ -d "$d" ]] && seeds+=("$d")
  done
  log="$build/fuzz_$t.log"
  args=(-max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}")
  if [[ "$jobs" -gt 1 ]]; then args=(-jobs="$jobs" -workers="$jobs" "${args[@]}"); fi
  start=$SECONDS
  "$exe" "${args[@]}" >"$log" 2>&1
  rc=$?
  runs=$(grep -ho 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{s += $2} END {print s + 0}')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  corpus=$(find "$work" -type f | wc -l)
  if [[ $rc -eq 0 ]]; then
    status=ok
  else
    status="CRASH (exit $rc, see $log; input in $artifacts)"
    failed=1
  fi
  printf '%-18s %4ds  runs %-10s cov %-6s corpus %-6s %s\n' "$t" $((SECONDS - start)) \
    "$runs" "${cov:-?}" "$corpus" "$status"
done
exit $failed
