#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Ortolan needs to build, run and test.
# Only what is missing is installed, so a second run costs a few dpkg queries.
#   scripts/install-deps.sh          build and run
#   scripts/install-deps.sh --package  also what makes the Debian package
#   scripts/install-deps.sh --test   also the test peers (exporters, tshark, snmpd, fuzzing)
#                                    and the package's checkers
set -euo pipefail

build_pkgs=(build-essential cmake ninja-build ccache pkg-config libgtest-dev
            qt6-base-dev qt6-charts-dev qt6-translations-l10n libqt6opengl6-dev libgl-dev libvulkan-dev libxkbcommon-dev
            libsnmp-dev libssl-dev nlohmann-json3-dev libcli11-dev libabsl-dev libcurl4-openssl-dev
            ieee-data netbase fonts-ipafont-gothic)
test_pkgs=(python3 softflowd pmacct tshark snmpd snmp prometheus clang-14 libclang-rt-14-dev
           libbenchmark-dev xvfb xauth nfdump clickhouse-server clickhouse-client
           lintian desktop-file-utils appstream systemd man-db)
package_pkgs=(dpkg-dev file)

want=("${build_pkgs[@]}")
if [[ "${1:-}" == "--package" ]]; then want+=("${package_pkgs[@]}"); fi
if [[ "${1:-}" == "--test" ]]; then want+=("${package_pkgs[@]}" "${test_pkgs[@]}"); fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# tshark asks whether non-root users may capture; answer before it is installed.
echo "wireshark-common wireshark-common/install-setuid boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
