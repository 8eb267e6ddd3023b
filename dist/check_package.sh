#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package of a built tree and checks it without installing
# it: its files, its control fields, lintian, and the extracted tree run as
# installed (the executable finds its data through the usr/bin link), the
# desktop entry, the metainfo, the service unit and the manual page.
#   dist/check_package.sh BUILD_DIR
# Prints one line per check; exits non-zero at the first failure.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: check_package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok: $*"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || fail "no project version in $build/CMakeCache.txt"
(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/out/ortolan_${version}_amd64.deb"
[[ -f $deb ]] || fail "cpack made no $(basename "$deb")"
ok "built $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"

# Files: mode and path (and the target of a link).
dpkg-deb -c "$deb" | awk '{ if ($7 == "->") print $1, $6, $7, $8; else print $1, $6 }' >"$work/files"
need=(
  "lrwxrwxrwx ./usr/bin/ortolan -> ../lib/ortolan/ortolan"
  "-rwxr-xr-x ./usr/lib/ortolan/ortolan"
  "-rw-r--r-- ./usr/lib/ortolan/Setup.bmp"
  "lrwxrwxrwx ./usr/lib/ortolan/Config/oui.txt -> /usr/share/ieee-data/oui.txt"
  "-rw-r--r-- ./usr/lib/ortolan/Config/IPProt.txt"
  "-rw-r--r-- ./usr/lib/ortolan/Config/Port.txt"
  "-rw-r--r-- ./usr/lib/ortolan/Mibs/SFLOW-MIB.txt"
  "-rw-r--r-- ./usr/lib/ortolan/Mibs/SFLOW-V4-MIB.txt"
  "-rw-r--r-- ./usr/share/man/man1/ortolan.1.gz"
  "-rw-r--r-- ./usr/share/doc/ortolan/README.md"
  "-rw-r--r-- ./usr/share/doc/ortolan/copyright"
  "-rw-r--r-- ./usr/share/doc/ortolan/changelog.gz"
  "-rw-r--r-- ./lib/systemd/system/ortolan-collect.service"
  "-rw-r--r-- ./etc/default/ortolan"
)
for size in 16 32 48 64 128 256; do need+=("-rw-r--r-- ./usr/share/icons/hicolor/${size}x${size}/apps/ortolan.png"); done
for line in "${need[@]}"; do grep -qxF -- "$line" "$work/files" || fail "the package lacks: $line"; done
desktop=$(grep -o '\./usr/share/applications/[^ ]*\.desktop$' "$work/files") || fail "no desktop entry"
metainfo=$(grep -o '\./usr/share/metainfo/[^ ]*\.metainfo\.xml$' "$work/files") || fail "no metainfo"
# Nothing the program writes, and nothing of the build or the tests.
if grep -E '\.tmp$|cert_indexes|_tests$|_bench|test-home|/FL[^/]*\.log$|make_icons' "$work/files"; then
  fail "files that do not belong"
fi
ok "file list ($(wc -l <"$work/files") entries)"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == ortolan ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == net ]] || fail "Section: $(field Section)"
depends=$(field Depends)
for lib in ieee-data libqt6core6 libqt6widgets6 libqt6charts6 libqt6network6 libsnmp40 libstdc++6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib (shlibdeps): $depends"
done
[[ -n $(field Description) && -n $(field Maintainer) ]] || fail "no Description or Maintainer"
dpkg-deb -e "$deb" "$work/control"
[[ $(cat "$work/control/conffiles") == /etc/default/ortolan ]] || fail "conffiles: $(cat "$work/control/conffiles")"
ok "control fields (Depends: $depends)"

# Lintian: no error. Warnings and notes are printed for the reader.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || { cat "$work/lintian" >&2; fail "lintian"; }
ok "lintian: $(grep -c '^E:' "$work/lintian" || true) errors, $(grep -c '^W:' "$work/lintian" || true) warnings"
sed 's/^/  /' "$work/lintian"

# The tree as installed, run from usr/bin through the link.
root="$work/root"
dpkg-deb -x "$deb" "$root"
[[ $("$root/usr/bin/ortolan" --version) == "ortolan $version" ]] || fail "--version"
report=$("$root/usr/bin/ortolan" report "$here/dist/FLsample.log") || fail "report exited $?"
# The names come from Config/ beside the executable: without it they would be TCP(80) and IP(6).
grep -q '"tcpServices":{"http":{"bytes":4000,"packets":10,"scaledBytes":4000,"scaledPackets":10}}' <<<"$report" || fail "report without the name tables: $report"
grep -q '"ipProtocols":{"TCP":' <<<"$report" || fail "report without the protocol table"
ok "usr/bin/ortolan --version and report (name tables found through the link)"

# The manual page renders without a warning and names every option of every
# command's help and every exit status.
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/ortolan.1.gz" >"$work/man.txt" 2>"$work/man.err" ||
  fail "man -l"
[[ ! -s $work/man.err ]] || { cat "$work/man.err" >&2; fail "warnings from man -l"; }
for command in "" collect report agent; do
  # shellcheck disable=SC2086
  for option in $("$root/usr/bin/ortolan" $command --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    [[ $option == --help ]] && continue
    grep -q -- "$option" "$work/man.txt" || fail "the manual page lacks ${command:-ortolan} $option"
  done
done
sed -n '/^EXIT STATUS/,/^FILES/p' "$work/man.txt" >"$work/man.status"
for status in 0 1 2; do grep -qE "^ +$status +[A-Z]" "$work/man.status" || fail "the manual page lacks exit status $status"; done
ok "man -l renders the page; it names every option and exit status"

# Desktop entry and metainfo.
desktop-file-validate "$root/$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/$metainfo" >"$work/appstream" 2>&1 ||
  { cat "$work/appstream" >&2; fail "appstreamcli validate"; }
ok "desktop-file-validate and appstreamcli validate --no-net"

# The unit, verified against the extracted tree (so its ExecStart exists)
# with the system's own units beside it; any complaint fails.
cp -rn /lib/systemd/system/. "$root/lib/systemd/system/"
MANPATH="$root/usr/share/man" systemd-analyze verify --root="$root" ortolan-collect.service >"$work/verify" 2>&1 ||
  { cat "$work/verify" >&2; fail "systemd-analyze verify"; }
[[ ! -s $work/verify ]] || { cat "$work/verify" >&2; fail "systemd-analyze verify complained"; }
ok "systemd-analyze verify ortolan-collect.service"
# The service's own command line, run as an unprivileged user with no
# capability, as the unit runs it (a machine whose PID 1 is not systemd
# cannot start the unit itself): it collects, writes its log where the unit
# lets it, prints its refresh text without colour, and SIGTERM ends it with
# the queue written.
if [[ $(id -u) -ne 0 ]] || ! command -v setpriv >/dev/null; then
  echo "skipped: the service's command as an unprivileged user (needs root and setpriv)"
  echo "package checks passed"
  exit 0
fi
unit="$root/lib/systemd/system/ortolan-collect.service"
exec_line=$(sed -n 's/^ExecStart=//p' "$unit")
[[ $exec_line == "/usr/bin/ortolan collect --log-dir /var/lib/ortolan --memory-limit 2048 \$ORTOLAN_OPTIONS" ]] ||
  fail "ExecStart changed; update this check: $exec_line"
grep -qx 'MemoryMax=2816M' "$unit" || fail "MemoryMax is not the memory limit, the queues and the program"
grep -qx 'DynamicUser=yes' "$unit" && grep -qx 'StateDirectory=ortolan' "$unit" || fail "the unit's user or state folder"
chmod 755 "$work"
state="$work/state"
mkdir "$state" && chown nobody:nogroup "$state" && chmod 750 "$state"
source "$root/etc/default/ortolan"
started=0
for attempt in 1 2 3; do
  sflow=$((20000 + RANDOM % 20000)); netflow=$((sflow + 1))
  command=${exec_line/\/usr\/bin\/ortolan/$root/usr/bin/ortolan}
  command=${command/\/var\/lib\/ortolan/$state}
  command=${command/\$ORTOLAN_OPTIONS/$ORTOLAN_OPTIONS --sflow-port $sflow --netflow-port $netflow --refresh 5}
  # shellcheck disable=SC2086
  (umask 0027; exec setpriv --reuid=nobody --regid=nogroup --clear-groups --no-new-privs --inh-caps=-all \
     --bounding-set=-all,+net_bind_service -- env -i HOME=/ $command >"$work/service.out" 2>&1) &
  pid=$!
  for _ in $(seq 50); do grep -q "NetFlow on UDP port" "$work/service.out" && break; sleep 0.1; done
  if grep -q "NetFlow on UDP port" "$work/service.out"; then started=1; break; fi
  wait "$pid" || true
done
[[ $started == 1 ]] || { cat "$work/service.out" >&2; fail "the service's command did not start"; }
"$here/scripts/send-test-datagram.sh" 3 "$sflow" "$netflow" >/dev/null
sleep 0.5
kill -TERM "$pid"
status=0; wait "$pid" || status=$?
[[ $status == 0 ]] || { cat "$work/service.out" >&2; fail "the service's command ended with $status after SIGTERM"; }
log=$(find "$state" -name 'FL*.log')
[[ -n $log && $(stat -c %U "$log") == nobody && $(wc -l <"$log") == 6 ]] ||
  { ls -l "$state" >&2; fail "the service's log (6 lines by nobody)"; }
if grep -q $'\e' "$work/service.out"; then fail "colour in the service's output"; fi
grep -q "sFlow V5:10.0.0.1:0" "$work/service.out" || fail "no refresh text in the service's output"
ok "the service's command as nobody without capabilities: collected, logged 6 datagrams, ended on SIGTERM"
echo "package checks passed"
