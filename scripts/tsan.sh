#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the suites whose code runs on several threads (the collectors and
# their receive threads, the flow log and its writer, the monitoring
# controller, the metrics server) with ThreadSanitizer in build-tsan/ and
# runs them. Any report fails the run. Run it before every stop of a change
# to those threads.
#
#   scripts/tsan.sh [BUILD_DIR]          (default: build-tsan next to the sources)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-tsan}
jobs=${ORTOLAN_JOBS:-$(nproc)}
suites=(collect_tests flowlog_tests monitor_tests metrics_tests)

echo "== build with ThreadSanitizer ($build)"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORTOLAN_SANITIZE_THREAD=ON \
  -DORTOLAN_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${suites[@]}"

# As ctest runs them: offscreen Qt, the zone the expected texts are written in.
export QT_QPA_PLATFORM=offscreen TZ=Asia/Tokyo
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# One process per test: std::mutex has a trivial destructor, so the sanitizer
# never sees a test's stack mutexes die, and its lock-order graph would join
# them to the next test's mutexes at the same addresses into deadlock cycles
# that no one object has.
status=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for suite in "${suites[@]}"; do
  echo "== $suite under ThreadSanitizer, one process per test"
  mapfile -t tests < <(cd "$build" && "bin/$suite" --gtest_list_tests | awk '/^[^ ]/ {group = $1} /^  / {print group $1}')
  [[ ${#tests[@]} -gt 0 ]] || { echo "tsan: $suite lists no tests" >&2; status=1; }
  for test in "${tests[@]}"; do
    if ! (cd "$build" && "bin/$suite" --gtest_brief=1 --gtest_filter="$test") >"$log" 2>&1; then
      cat "$log"
      echo "tsan: $suite $test failed" >&2
      status=1
    fi
  done
  echo "   ${#tests[@]} tests"
done
[[ $status -eq 0 ]] && echo "== ThreadSanitizer clean"
exit $status
