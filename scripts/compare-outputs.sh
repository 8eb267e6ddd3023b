#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes everything the program prints about a fixed set of traffic into one
# folder, so the outputs of two builds can be compared byte for byte
# (`diff -r OLD NEW`): a change meant only to make decoding faster must leave
# every file the same.
#
#   scripts/compare-outputs.sh OUTDIR [BUILD_DIR] [STREAM_DIR]
#
# BUILD_DIR (default build/) must hold bin/ortolan and bin/ortolan_bench. The
# traffic is taken from STREAM_DIR (default OUTDIR/../streams): sf5, nf5 and nf1
# streams caught from pmacctd and softflowd as scripts/bench.sh catches them,
# plus the fuzz corpus' datagrams. Missing streams are caught once and kept
# there, so later runs and other builds read the very same datagrams.
#
# OUTDIR receives, per stream, the `ortolan_bench dump` of its tables; and for a
# flow log written from the sFlow and NetFlow streams: the log's checksum, the
# `ortolan report` JSON and every `report --list` CSV.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/sfprobe-conf.sh"
[[ $# -ge 1 ]] || { echo "usage: $0 OUTDIR [BUILD_DIR] [STREAM_DIR]" >&2; exit 2; }
out=$1
build=$(cd "${2:-$here/build}" && pwd)
streams=${3:-$out/../streams}
bench=$build/bin/ortolan_bench
net=$build/bin/ortolan_bench_net
ortolan=$build/bin/ortolan
config=$build/bin/Config
for exe in "$bench" "$net" "$ortolan"; do
  [[ -x $exe ]] || { echo "compare-outputs: $exe is missing (build with -DORTOLAN_BENCH=ON)" >&2; exit 1; }
done
mkdir -p "$out" "$streams"
out=$(cd "$out" && pwd)
streams=$(cd "$streams" && pwd)
rm -rf "${out:?}"/*

# --- the traffic, caught once
if [[ ! -s $streams/traffic.pcap ]]; then
  "$net" pcap "$streams/traffic.pcap" 60000 2000 >/dev/null
fi
if [[ ! -s $streams/nf5.stream || ! -s $streams/nf1.stream ]]; then
  for v in 5 1; do
    timeout 60 "$net" catch "$streams/nf$v.stream" 20 softflowd -d -c none -p "$streams/sf$v.pid" \
      -r "$streams/traffic.pcap" -n "127.0.0.1:{PORT}" -v "$v" >/dev/null 2>&1 || true
  done
fi
if [[ ! -s $streams/sf5.stream ]]; then
  write_sfprobe_conf "$streams" "$streams/traffic.pcap"
  timeout 90 "$net" catch "$streams/sf5.stream" 30 \
    "sed -i s/@PORT@/{PORT}/ $streams/pmacctd.conf && exec pmacctd -f $streams/pmacctd.conf" >/dev/null 2>&1 || true
fi
# The fuzz corpus reaches records the exporters never send (v2/v4, counters, IPv6 agents).
for kind in sflow netflow; do
  s=$streams/seeds-$kind.stream
  [[ -s $s ]] || python3 - "$here/fuzz/corpus/${kind}_datagram" "$s" <<'EOF'
import os, struct, sys
folder, path = sys.argv[1], sys.argv[2]
with open(path, "wb") as f:
    for name in sorted(os.listdir(folder)):
        data = open(os.path.join(folder, name), "rb").read()
        f.write(struct.pack("<I", len(data)) + data)
EOF
done
for s in sf5 nf5 nf1; do
  [[ -s $streams/$s.stream ]] || { echo "compare-outputs: no $s stream could be caught" >&2; exit 1; }
done
sha256sum "$streams"/*.stream | sed "s#$streams/##" >"$out/streams.sha256"

# --- tables after decoding each stream
dump() { "$bench" dump "$1" "$streams/$2.stream" "$config" >"$out/dump-$2.txt"; }
dump sflow sf5
dump netflow nf5
dump netflow nf1
dump sflow seeds-sflow
dump netflow seeds-netflow

# --- a flow log of both streams, and every report of it
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT
made=$("$bench" makelog "$streams/sf5.stream" "$streams/nf5.stream" "$logdir" 30000)
file=$(grep -o 'file=[^ ]*' <<<"$made" | cut -d= -f2)
log=$logdir/$file
sha256sum "$log" | cut -d' ' -f1 >"$out/flowlog.sha256"
(cd "$logdir" && "$ortolan" report --refresh 30 "$file") >"$out/report.json"
for kind in $(seq 0 12) local; do
  (cd "$logdir" && "$ortolan" report --refresh 30 --list "$kind" "$file") >"$out/list-$kind.csv"
done
echo "compare-outputs: $(ls "$out" | wc -l) files in $out"
