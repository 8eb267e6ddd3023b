#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package ortolan_<version>_amd64.deb: installs what the
# build needs, builds the program without its tests in build-package/ (or
# the folder given) and lets CPack make the package there.
#   scripts/package.sh [BUILD_DIR]
# Install it with: sudo apt-get install ./build-package/ortolan_*_amd64.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-package}
"$here/scripts/install-deps.sh" --package
cmake -S "$here" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORTOLAN_TESTS=OFF -DORTOLAN_BENCH=OFF >/dev/null
cmake --build "$out" -j"$(nproc)"
(cd "$out" && cpack -G DEB >/dev/null)
ls "$out"/ortolan_*_amd64.deb
