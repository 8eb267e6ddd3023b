#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs everything, builds, and runs every test: the whole suite, the core
# suites again under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short run of every fuzz target. Fails when anything fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$here/scripts/install-deps.sh" --test

echo "== build and test (build/)"
"$here/scripts/build.sh" "$here/build"
(cd "$here/build" && ctest --output-on-failure -j"$jobs" --timeout 600)

echo "== core tests under ASan and UBSan (build-asan/)"
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DORTOLAN_CORE_ONLY=ON -DORTOLAN_SANITIZE=ON >/dev/null
cmake --build "$here/build-asan" -j"$jobs"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" --timeout 900)

if [[ -x "$here/scripts/fuzz.sh" ]]; then
  echo "== fuzz targets, short run"
  "$here/scripts/fuzz.sh" "${ORTOLAN_FUZZ_SECONDS:-30}"
fi
echo "== all tests passed"
