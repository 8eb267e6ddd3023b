#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark side by side with the collectors an administrator would
# otherwise pick, on the same datagrams, and prints one table of figures and
# ratios. Timings never fail it: a missing peer or a failed step shows as "n/a".
# Bounded in time (about ten minutes); all traffic goes to 127.0.0.1.
#
#   scripts/bench.sh [BUILD_DIR]          (default: build-bench next to the sources)
#   ORTOLAN_BENCH_PROFILE=1 scripts/bench.sh   also prints the decode path's profile
#
# Needs the packages of scripts/install-deps.sh --test (softflowd, pmacct, nfdump).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/sfprobe-conf.sh"
build=${1:-$here/build-bench}
echo "== build ($build, Release)"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORTOLAN_TESTS=OFF -DORTOLAN_BENCH=ON >/dev/null ||
  { echo "bench: configure failed" >&2; exit 1; }
cmake --build "$build" -j"$(nproc)" --target ortolan_bench ortolan_bench_net >/dev/null ||
  { echo "bench: build of the benchmarks failed" >&2; exit 1; }
have_ortolan=0
if cmake --build "$build" -j"$(nproc)" --target ortolan ortolan_config >/dev/null 2>&1 && [[ -x $build/bin/ortolan ]]; then
  have_ortolan=1
else
  echo "bench: the ortolan executable did not build; the live row for it is skipped" >&2
fi
have_ui=0
if cmake --build "$build" -j"$(nproc)" --target ortolan_bench_ui >/dev/null 2>&1 && [[ -x $build/bin/ortolan_bench_ui ]]; then
  have_ui=1
else
  echo "bench: the window benchmark did not build; the event-loop row is skipped" >&2
fi
bench=$build/bin/ortolan_bench
net=$build/bin/ortolan_bench_net
config=$build/bin/Config
[[ -f $config/IPProt.txt ]] || config=""

# Scratch space on tmpfs: the flow logs live there, as the live figure asks.
started=$(date +%s)
work=$(mktemp -d /dev/shm/ortolan-bench.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  sleep 0.3
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
have() { command -v "$1" >/dev/null 2>&1; }
# The value of key=value in a line of text.
val() { grep -o "\b$1=[^ ]*" <<<"$2" | head -1 | cut -d= -f2-; }
# A UDP port nobody holds on this machine.
free_port() {
  local p
  for _ in $(seq 1 200); do
    p=$((20000 + RANDOM % 30000))
    grep -qi ":$(printf '%04X' "$p") " /proc/net/udp /proc/net/udp6 2>/dev/null || { echo "$p"; return; }
  done
  echo 0
}
load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "machine: $(nproc) cores, load average $(load)"

echo "== streams from real exporters"
"$net" pcap "$work/traffic.pcap" 300000 4000
if have softflowd; then
  for v in 5 1; do
    timeout 60 "$net" catch "$work/nf$v.stream" 40 softflowd -d -c none -p "$work/sf$v.pid" \
      -r "$work/traffic.pcap" -n "127.0.0.1:{PORT}" -v "$v" 2>/dev/null | grep caught | sed "s/^/softflowd v$v: /"
  done
fi
if have pmacctd; then
  write_sfprobe_conf "$work" "$work/traffic.pcap"
  timeout 90 "$net" catch "$work/sf5.stream" 60 \
    "sed -i s/@PORT@/{PORT}/ $work/pmacctd.conf && exec pmacctd -f $work/pmacctd.conf" 2>/dev/null |
    grep caught | sed "s/^/pmacctd sfprobe: /"
fi
for s in sf5 nf5 nf1; do [[ -s $work/$s.stream ]] || echo "bench: no $s stream (exporter missing or silent)" >&2; done

echo "== 1. decode and account in memory"
declare -A dec
for pair in "sflow sf5" "netflow nf5" "netflow nf1"; do
  set -- $pair
  [[ -s $work/$2.stream ]] || continue
  out=$(timeout 120 "$bench" decode "$1" "$work/$2.stream" 2 $config)
  echo "$out" | sed "s/^/$2: /"
  for t in cold warm; do
    line=$(grep "table=$t" <<<"$out")
    dec[$2.$t.dps]=$(val dps "$line"); dec[$2.$t.ns]=$(val ns "$line")
    dec[$2.$t.cpu_dps]=$(val cpu_dps "$line"); dec[$2.$t.cpu_ns]=$(val cpu_ns "$line")
    dec[$2.rpd]=$(val records_per_datagram "$line")
  done
done

echo "== 1b. decode in memory: one exporter vs 256 exporters in turn (warm tables)"
declare -A many
for pair in "sflow sf5" "netflow nf5"; do
  set -- $pair
  [[ -s $work/$2.stream ]] || continue
  out=$(timeout 120 "$bench" exporters "$1" "$work/$2.stream" 2 256 $config)
  echo "$out" | sed "s/^/$2: /"
  for p in full header; do
    for e in 1 256; do
      line=$(grep "payload=$p exporters=$e " <<<"$out")
      many[$2.$p.$e.us]=$(val us "$line"); many[$2.$p.$e.cpu_us]=$(val cpu_us "$line")
    done
    line=$(grep "^EXPORTERS_RATIO.*payload=$p " <<<"$out")
    many[$2.$p.ratio]=$(val rate_ratio "$line"); many[$2.$p.cpu_ratio]=$(val cpu_rate_ratio "$line")
  done
done

if [[ ${ORTOLAN_BENCH_PROFILE:-0} == 1 && -s $work/sf5.stream ]]; then
  echo "== profile of the decode path (sFlow v5, cold and warm)"
  # A virtual machine often has no hardware counters: perf then says "not supported".
  if perf stat -e instructions true 2>&1 | grep -q 'instructions' &&
     ! perf stat -e instructions true 2>&1 | grep -q 'not supported'; then
    perf record -o "$work/perf.data" -g "$bench" decode sflow "$work/sf5.stream" 1 $config >/dev/null 2>&1
    perf report -i "$work/perf.data" --no-children --stdio --sort sym 2>/dev/null | grep '%' | head -20 | cut -c1-160
  elif have valgrind; then
    for k in "sflow sf5" "netflow nf5"; do
      set -- $k
      echo "-- callgrind, $1 (3000 datagrams, one cold and one warm pass), exclusive instructions"
      "$net" head "$work/$2.stream" "$work/$2.head" 3000
      valgrind --tool=callgrind --callgrind-out-file="$work/cg.$2" "$bench" decode "$1" "$work/$2.head" 0 $config \
        >/dev/null 2>&1
      callgrind_annotate "$work/cg.$2" 2>/dev/null | sed -n '/file:function/,$p' | sed -n '3,17p' | cut -c1-160
      echo "-- callgrind, $1, inclusive"
      callgrind_annotate --inclusive=yes "$work/cg.$2" 2>/dev/null | sed -n '/file:function/,$p' | sed -n '9,24p' | cut -c1-160
    done
  fi
fi

echo "== 2. replay of a flow log"
replay_dps=""; replay_s=""; replay_n=""; replay_cpu=""; replay_caller_cpu=""; replay_s_note=""; write_dps=""; write_s=""; write_cpu=""; log_mb=""
if [[ -s $work/sf5.stream && -s $work/nf5.stream ]]; then
  mkdir -p "$work/replay"
  made=$(timeout 180 "$bench" makelog "$work/sf5.stream" "$work/nf5.stream" "$work/replay" 1000000)
  echo "$made"
  file=$(val file "$made"); write_dps=$(val write_dps "$made")
  write_s=$(val write_seconds "$made"); write_cpu=$(val write_cpu "$made")
  log_mb=$(( $(val bytes "$made") / 1000000 ))
  if [[ -n $file ]]; then
    out=$(timeout "${ORTOLAN_BENCH_REPLAY_SECONDS:-100}" "$bench" replay "$work/replay" "$file" $config)
    echo "$out" | grep -v PROGRESS
    line=$(grep '^REPLAY ' <<<"$out")
    if [[ -n $line ]]; then
      replay_dps=$(val dps "$line"); replay_s=$(val seconds "$line"); replay_n=$(val datagrams "$line")
      replay_cpu=$(val cpu "$line"); replay_caller_cpu=$(val caller_cpu "$line")
    else
      # Stopped by the time bound: the last progress line tells the rate so far.
      line=$(grep '^REPLAY_PROGRESS' <<<"$out" | tail -1)
      echo "replay stopped by the time bound after: $line"
      replay_dps=$(val dps "$line"); replay_n="$(val datagrams "$line") (stopped) of 1000000"
      replay_cpu=$(val cpu "$line")
      replay_s=$(awk -v d="$replay_dps" 'BEGIN { if (d > 0) printf "%.1f", 1000000 / d }')
      replay_s_note=" projected"
    fi
  fi
  rm -rf "$work/replay"
fi

echo "== 4. memory per entry after 1,000,000 distinct entries"
declare -A mem
for k in ip ipfull pair mac; do
  out=$(timeout 120 "$bench" memory "$k" 1000000)
  echo "$out"
  mem[$k]=$(val bytes_per_entry "$out")
done

echo "== 3. live: highest loss-free rate on loopback (loss < 0.1 %)"
declare -A live
budget=${ORTOLAN_BENCH_SEARCH_SECONDS:-40}
# search NAME STREAM PID PORT [LOGDIR [OUTFILE LOSSTEXT]]: the rate search against a running receiver.
search() {
  local name=$1 stream=$2 pid=$3 port=$4 logdir=${5:--}
  if [[ ! -s $stream ]] || ! kill -0 "$pid" 2>/dev/null; then echo "$name: not run"; return; fi
  local out
  out=$(timeout $((budget + 60)) "$net" search "$stream" "$pid" "$port" "$logdir" "$budget" 5000 "${@:6}")
  echo "$out" | sed "s/^/$name: /"
  local result
  result=$(grep '^RESULT' <<<"$out")
  live[$name.rate]=$(val rate "$result")
  live[$name.cpu]=$(val cpu_us "$result")
  live[$name.bound]=$(sed -n 's/.*bound=//p' <<<"$result")
}
stop() { kill "$1" 2>/dev/null; for _ in $(seq 1 30); do kill -0 "$1" 2>/dev/null || return; sleep 0.2; done; kill -9 "$1" 2>/dev/null; }

# The machine's limit: a receiver that only counts.
port=$(free_port)
"$net" sink "$port" 600 >"$work/sink.out" 2>&1 &
sink=$!; disown "$sink"; pids+=("$sink"); sleep 0.5
search sink.nf5 "$work/nf5.stream" "$sink" "$port"
search sink.sf5 "$work/sf5.stream" "$sink" "$port"
stop "$sink"

# start_collect OUTFILE [OPTION...]: `ortolan collect` on two free ports with its flow log
# in $work/log, output to OUTFILE; sets sp and np (its ports) and op (its pid).
start_collect() {
  mkdir -p "$work/log"
  sp=$(free_port); np=$(free_port)
  while [[ $np == "$sp" ]]; do np=$(free_port); done
  # Offscreen in case the build's Qt looks for a display even in the headless mode.
  QT_QPA_PLATFORM=offscreen "$build/bin/ortolan" collect --sflow-port "$sp" --netflow-port "$np" \
    --log-dir "$work/log" --refresh 5 "${@:2}" >"$1" 2>&1 &
  op=$!; disown "$op"; pids+=("$op"); sleep 1.5
}
# stop_collect: stops it, prints its last counter lines and drops its log.
stop_collect() {
  stop "$op"
  grep -E 'datagramCount|rejected' "$1" | tail -2 | sed 's/^/ortolan counters: /'
  rm -rf "$work/log"
}

if [[ $have_ortolan == 1 ]]; then
  start_collect "$work/ortolan.out"
  search ortolan.sf5 "$work/sf5.stream" "$op" "$sp" "$work/log"
  rm -f "$work/log"/* 2>/dev/null
  search ortolan.nf5 "$work/nf5.stream" "$op" "$np" "$work/log"
  stop_collect "$work/ortolan.out"
  # The same streams from 256 exporters in turn (sources 127.0.1.1 ... 127.0.2.1).
  export ORTOLAN_BENCH_EXPORTERS=256
  start_collect "$work/ortolan256.out"
  search ortolan256.sf5 "$work/sf5.stream" "$op" "$sp" "$work/log"
  rm -f "$work/log"/* 2>/dev/null
  search ortolan256.nf5 "$work/nf5.stream" "$op" "$np" "$work/log"
  stop_collect "$work/ortolan256.out"
  unset ORTOLAN_BENCH_EXPORTERS
fi

# The same with the ClickHouse store on: a clickhouse-server of the bench's own
# (loopback, its folder under /tmp, stopped by its PID) takes every row.
declare -A store
chserver=$(command -v clickhouse-server || { [[ -x /usr/sbin/clickhouse-server ]] && echo /usr/sbin/clickhouse-server; })
free_tcp_port() {
  local p
  for _ in $(seq 1 200); do
    p=$((20000 + RANDOM % 30000))
    grep -qi ":$(printf '%04X' "$p") " /proc/net/tcp /proc/net/tcp6 2>/dev/null || { echo "$p"; return; }
  done
  echo 0
}
if [[ $have_ortolan == 1 && -n $chserver ]]; then
  ch=$(mktemp -d /tmp/ortolan-bench-clickhouse.XXXXXX)
  chp=$(free_tcp_port); cht=$(free_tcp_port)
  cat >"$ch/config.xml" <<EOF
<?xml version="1.0"?>
<yandex>
  <logger><level>warning</level><log>$ch/server.log</log><errorlog>$ch/error.log</errorlog><console>0</console></logger>
  <http_port>$chp</http_port><tcp_port>$cht</tcp_port><listen_host>127.0.0.1</listen_host>
  <path>$ch/data/</path><tmp_path>$ch/tmp/</tmp_path><user_files_path>$ch/user_files/</user_files_path>
  <format_schema_path>$ch/format_schemas/</format_schema_path><mark_cache_size>5368709120</mark_cache_size>
  <users_config>$ch/users.xml</users_config><default_profile>default</default_profile>
  <default_database>default</default_database><timezone>UTC</timezone><keep_alive_timeout>3</keep_alive_timeout>
</yandex>
EOF
  cat >"$ch/users.xml" <<EOF
<?xml version="1.0"?>
<yandex><profiles><default></default></profiles>
<users><default><password></password><networks><ip>127.0.0.1</ip></networks><profile>default</profile><quota>default</quota></default></users>
<quotas><default></default></quotas></yandex>
EOF
  "$chserver" --config-file="$ch/config.xml" >"$ch/stdout.log" 2>&1 &
  chpid=$!; disown "$chpid"; pids+=("$chpid")
  for _ in $(seq 1 120); do
    curl -s "http://127.0.0.1:$chp/" --data-binary 'SELECT 1' 2>/dev/null | grep -q 1 && break; sleep 0.5
  done
  start_collect "$work/ortolan-ch.out" --clickhouse "http://127.0.0.1:$chp/" --clickhouse-table bench_flows
  search ortolan_ch.sf5 "$work/sf5.stream" "$op" "$sp" "$work/log"
  rm -f "$work/log"/* 2>/dev/null
  search ortolan_ch.nf5 "$work/nf5.stream" "$op" "$np" "$work/log"
  stop_collect "$work/ortolan-ch.out"
  # The last counters line is the one printed at the exit; the queue's peak is
  # the most rows any refresh saw held.
  last=$(grep '^ClickHouse' "$work/ortolan-ch.out" | tail -1 | tr '\t' ' ' | sed 's/ \([a-zA-Z]*\) \([0-9]*\)/ \1=\2/g')
  echo "ortolan_ch store: $last"
  store[queued]=$(val rowsQueued "$last"); store[sent]=$(val rowsSent "$last")
  store[dropped]=$(val rowsDropped "$last"); store[unsent]=$(val unsentRows "$last")
  store[failed]=$(val failedInserts "$last")
  store[peak]=$(grep '^ClickHouse' "$work/ortolan-ch.out" | sed 's/.*heldRows \([0-9]*\).*/\1/' | sort -n | tail -1)
  store[rows]=$(curl -s "http://127.0.0.1:$chp/" --data-binary 'SELECT count() FROM bench_flows' 2>/dev/null)
  stop "$chpid"
  rm -rf "$ch"
fi

# The window's event loop while it receives at the loss-free rate found above:
# the real main window and controller, offscreen, with a 10 ms probe timer.
declare -A loop
if [[ $have_ui == 1 ]]; then
  for s in sf5 nf5; do
    rate=${live[ortolan.$s.rate]:-}
    [[ -n $rate && $rate != 0 && -s $work/$s.stream ]] || { echo "window $s: no live rate to send at"; continue; }
    mkdir -p "$work/uilog"
    sp=$(free_port); np=$(free_port)
    seconds=${ORTOLAN_BENCH_LOOP_SECONDS:-12}
    QT_QPA_PLATFORM=offscreen "$build/bin/ortolan_bench_ui" "$sp" "$np" "$work/uilog" $((seconds + 4)) \
      >"$work/ui.$s.out" 2>&1 &
    up=$!; disown "$up"; pids+=("$up"); sleep 2
    target=$([[ $s == sf5 ]] && echo "$sp" || echo "$np")
    sent=$(timeout $((seconds * 3 + 20)) "$net" send "$work/$s.stream" "$target" "${rate%.*}" "$seconds")
    for _ in $(seq 1 60); do kill -0 "$up" 2>/dev/null || break; sleep 0.5; done
    stop "$up"
    echo "window $s: $sent"
    grep -E '^LOOP_RESULT|^LOOP_LIST|^LOOP_SNMP|^LOOP_COUNTED|^message' "$work/ui.$s.out" | sed "s/^/window $s: /"
    result=$(grep '^LOOP_RESULT' "$work/ui.$s.out")
    loop[$s.max]=$(val max_ms "$result"); loop[$s.p99]=$(val p99_ms "$result")
    loop[$s.rate]=$(val rate "$sent"); loop[$s.drops]=$(val drops "$sent"); loop[$s.sent]=$(val sent "$sent")
    # Lost by the window: what the sender sent and the collectors never counted
    # (the kernel's drops among them), while refreshes ran and the IP list opened.
    counted=$(grep '^LOOP_COUNTED' "$work/ui.$s.out")
    loop[$s.kdrops]=$(val kernel_drops "$counted")
    loop[$s.lost]=$(awk -v s="${loop[$s.sent]:-}" -v c="$(val datagrams "$counted")" \
      'BEGIN { if (s != "" && c != "") print s - c }')
    loop[$s.hold]=$(grep '^LOOP_LIST' "$work/ui.$s.out" | grep -o 'hold_ms=[0-9.]*' | cut -d= -f2 | sort -g | tail -1)
    loop[$s.rows]=$(grep '^LOOP_LIST' "$work/ui.$s.out" | grep -o 'rows=[0-9]*' | cut -d= -f2 | sort -g | tail -1)
    snmp=$(grep '^LOOP_SNMP' "$work/ui.$s.out")
    loop[$s.walks]=$(val walks "$snmp"); loop[$s.walkcall]=$(val longest_call_ms "$snmp")
    rm -rf "$work/uilog"
  done
fi

# pmacct: the memory plugin aggregating by hosts, protocol and ports.
for pair in "sfacctd sf5" "nfacctd nf5"; do
  set -- $pair
  have "$1" || { echo "$1: not installed"; continue; }
  p=$(free_port)
  cat >"$work/$1.conf" <<EOF
daemonize: false
${1}_ip: 127.0.0.1
${1}_port: $p
${1}_pipe_size: 8388608
plugins: memory
aggregate: src_host,dst_host,proto,src_port,dst_port
imt_path: $work/$1.pipe
plugin_pipe_size: 102400000
plugin_buffer_size: 102400
EOF
  "$1" -f "$work/$1.conf" >"$work/$1.out" 2>&1 &
  pp=$!; disown "$pp"; pids+=("$pp"); sleep 1.5
  # Past its socket pmacct can lose buffers between core and plugin; it says so.
  search "pmacct.$2" "$work/$2.stream" "$pp" "$p" - "$work/$1.out" "Missing data detected"
  stop "$pp"
done

if have nfcapd; then
  p=$(free_port); mkdir -p "$work/nfcapd"
  nfcapd -b 127.0.0.1 -p "$p" -w "$work/nfcapd" -B 8388608 -t 3600 >"$work/nfcapd.out" 2>&1 &
  np=$!; disown "$np"; pids+=("$np"); sleep 1.5
  search nfcapd.nf5 "$work/nf5.stream" "$np" "$p"
  stop "$np"
fi
echo "load average at the end: $(load)"

# ---------------------------------------------------------------- the table
n() { [[ -n ${1:-} && ${1:-0} != 0 ]] && echo "$1" || echo "n/a"; }
ratio() { awk -v a="${1:-}" -v b="${2:-}" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2fx", a / b; else print "n/a" }'; }
row() { printf "%-44s %14s %-14s %s\n" "$1" "$2" "$3" "${4:-}"; }
echo
echo "==================================================================================================="
row "figure" "value" "unit" "ratio / target"
echo "---------------------------------------------------------------------------------------------------"
# met NAME VALUE LIMIT le|ge: ": met" or ": missed by ..." against the target.
met() {
  awk -v v="${2:-}" -v l="$3" -v op="$4" 'BEGIN {
    if (v == "" || v == "n/a") exit
    ok = (op == "le") ? (v + 0 <= l + 0) : (v + 0 >= l + 0)
    if (ok) printf ": met"; else printf ": missed by %.4g", (op == "le") ? v - l : l - v }'
}
for s in sf5 nf5 nf1; do
  label=$([[ $s == sf5 ]] && echo "sFlow v5 (pmacctd)" || echo "NetFlow v${s#nf} (softflowd)")
  limit=$([[ $s == sf5 ]] && echo 2000 || echo 4000)
  for t in cold warm; do
    goal=""
    [[ $t == warm && $s != nf1 ]] && goal="; target <= $limit ns$(met x "${dec[$s.$t.ns]:-}" $limit le)"
    row "1. decode $label, $t" "$(n "${dec[$s.$t.dps]:-}")" "datagrams/s" \
      "$(n "${dec[$s.$t.ns]:-}") ns/dg wall, $(n "${dec[$s.$t.cpu_ns]:-}") ns/dg CPU, ${dec[$s.rpd]:-?} rec/dg$goal"
  done
done
for s in sf5 nf5; do
  proto=$([[ $s == sf5 ]] && echo "sFlow v5" || echo "NetFlow v5")
  for p in full header; do
    row "1b. decode $proto ($p), 1 exporter, warm" "$(n "${many[$s.$p.1.us]:-}")" "us/datagram" \
      "$(n "${many[$s.$p.1.cpu_us]:-}") us CPU"
    row "1b. decode $proto ($p), 256 exporters, warm" "$(n "${many[$s.$p.256.us]:-}")" "us/datagram" \
      "$(n "${many[$s.$p.256.cpu_us]:-}") us CPU; rate 256/1 = ${many[$s.$p.ratio]:-n/a} wall, ${many[$s.$p.cpu_ratio]:-n/a} CPU; target >= 0.9$(met x "${many[$s.$p.cpu_ratio]:-}" 0.9 ge)"
  done
done
row "2. replay ${replay_n:-?} datagrams (${log_mb:-?} MB)" "$(n "$replay_dps")" "datagrams/s" \
  "${replay_s:-n/a} s${replay_s_note} wall, ${replay_cpu:-n/a} s CPU of which ${replay_caller_cpu:-n/a} s decoding on the caller's thread (target < 5 s)$(awk -v s="${replay_s:-}" 'BEGIN { if (s != "") printf (s < 5 ? ": met" : ": missed by %.1f s"), s - 5 }')"
row "2. flow-log writer, 1,000,000 datagrams" "$(n "$write_dps")" "lines/s" \
  "${write_s:-n/a} s wall, ${write_cpu:-n/a} s CPU$(awk -v c="${write_cpu:-}" 'BEGIN { if (c + 0 > 0) printf " = %.0f lines/s of CPU", 1000000 / c }') (target >= 1,000,000)$(awk -v d="${write_dps:-}" 'BEGIN { if (d != "") printf (d >= 1000000 ? ": met" : ": missed by %.0f"), 1000000 - d }')"
for s in sf5 nf5; do
  proto=$([[ $s == sf5 ]] && echo "sFlow v5" || echo "NetFlow v5")
  row "3. live bare recvmmsg, $proto" "$(n "${live[sink.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[sink.$s.cpu]:-}") us CPU/dg; bound: ${live[sink.$s.bound]:-n/a}"
  goal=""
  [[ $s == sf5 ]] && goal="; target >= 150000$(met x "${live[ortolan.$s.rate]:-}" 150000 ge)"
  row "3. live ortolan collect, $proto" "$(n "${live[ortolan.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[ortolan.$s.cpu]:-}") us CPU/dg; bound: ${live[ortolan.$s.bound]:-n/a}$goal"
  row "3. live pmacct (memory plugin), $proto" "$(n "${live[pmacct.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[pmacct.$s.cpu]:-}") us CPU/dg; bound: ${live[pmacct.$s.bound]:-n/a}"
  r=$(ratio "${live[ortolan.$s.rate]:-}" "${live[pmacct.$s.rate]:-}")
  goal=$([[ $s == sf5 ]] && echo 1.4 || echo 5)
  row "   ortolan / pmacct, $proto" "$r" "" "target >= ${goal}x$(met x "${r%x}" $goal ge)"
  row "   ortolan / bare receiver, $proto" "$(ratio "${live[ortolan.$s.rate]:-}" "${live[sink.$s.rate]:-}")" "" ""
  row "   CPU per datagram, ortolan / pmacct" "$(ratio "${live[ortolan.$s.cpu]:-}" "${live[pmacct.$s.cpu]:-}")" "" "lower is better"
done
for s in sf5 nf5; do
  proto=$([[ $s == sf5 ]] && echo "sFlow v5" || echo "NetFlow v5")
  r=$(ratio "${live[ortolan_ch.$s.rate]:-}" "${live[ortolan.$s.rate]:-}")
  row "3. live ortolan collect --clickhouse, $proto" "$(n "${live[ortolan_ch.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[ortolan_ch.$s.cpu]:-}") us CPU/dg; $r of without; target >= 0.8x$(met x "${r%x}" 0.8 ge)"
done
row "   ClickHouse rows queued / sent / in the table" "${store[queued]:-n/a} / ${store[sent]:-n/a} / ${store[rows]:-n/a}" "rows" \
  "dropped ${store[dropped]:-n/a} (target 0$(met x "${store[dropped]:-}" 0 le)), unsent at the stop ${store[unsent]:-n/a}, failed inserts ${store[failed]:-n/a}, queue peak ${store[peak]:-n/a} rows"
for s in sf5 nf5; do
  proto=$([[ $s == sf5 ]] && echo "sFlow v5" || echo "NetFlow v5")
  r=$(ratio "${live[ortolan256.$s.rate]:-}" "${live[ortolan.$s.rate]:-}")
  row "3. live ortolan collect, $proto, 256 exporters" "$(n "${live[ortolan256.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[ortolan256.$s.cpu]:-}") us CPU/dg; 256/1 = $r; target >= 0.9x$(met x "${r%x}" 0.9 ge)"
done
row "3. live nfcapd, NetFlow v5" "$(n "${live[nfcapd.nf5.rate]:-}")" "datagrams/s" \
  "$(n "${live[nfcapd.nf5.cpu]:-}") us CPU/dg; bound: ${live[nfcapd.nf5.bound]:-n/a}"
r=$(ratio "${live[ortolan.nf5.rate]:-}" "${live[nfcapd.nf5.rate]:-}")
row "   ortolan / nfcapd, NetFlow v5" "$r" "" "target >= 1x$(met x "${r%x}" 1 ge)"
row "   CPU per datagram, ortolan / nfcapd" "$(ratio "${live[ortolan.nf5.cpu]:-}" "${live[nfcapd.nf5.cpu]:-}")" "" "lower is better"
row "4. memory per IP node (bare)" "$(n "${mem[ip]:-}")" "bytes" "target <= 160$(met x "${mem[ip]:-}" 160 le)"
row "4. memory per IP node (a service, a MAC)" "$(n "${mem[ipfull]:-}")" "bytes" ""
row "4. memory per IP pair" "$(n "${mem[pair]:-}")" "bytes" "target <= 120$(met x "${mem[pair]:-}" 120 le)"
row "4. memory per MAC node" "$(n "${mem[mac]:-}")" "bytes" "target <= 100$(met x "${mem[mac]:-}" 100 le)"
for s in sf5 nf5; do
  proto=$([[ $s == sf5 ]] && echo "sFlow v5" || echo "NetFlow v5")
  row "5. window event loop, $proto at live rate" "$(n "${loop[$s.max]:-}")" "ms max stall" \
    "p99 $(n "${loop[$s.p99]:-}") ms at $(n "${loop[$s.rate]:-}") dg/s, ${loop[$s.drops]:-n/a} dropped of ${loop[$s.sent]:-n/a}; target <= 100 ms$(met x "${loop[$s.max]:-}" 100 le)"
  row "5. window lost, $proto, refresh + IP list" "${loop[$s.lost]:-n/a}" "datagrams" \
    "of ${loop[$s.sent]:-n/a} sent; kernel drops ${loop[$s.kdrops]:-n/a}; list of ${loop[$s.rows]:-n/a} rows held the tables ${loop[$s.hold]:-n/a} ms; ${loop[$s.walks]:-n/a} SNMPv3 walks of a silent agent, longest call ${loop[$s.walkcall]:-n/a} ms; target 0$(met x "${loop[$s.lost]:-}" 0 le)"
done
echo "==================================================================================================="
echo "measured in $(( $(date +%s) - started )) s after the build; load average $(load) on $(nproc) cores (other work on the machine lowers every figure)"

# ------------------------------------------------ NetFlow v9 and IPFIX (softflowd -v 9 / -v 10)
echo
echo "== 5. NetFlow v9 and IPFIX: the same capture exported by softflowd"
if have softflowd; then
  for v in 9 10; do
    timeout 60 "$net" catch "$work/nf$v.stream" 40 softflowd -d -c none -p "$work/sf$v.pid" \
      -r "$work/traffic.pcap" -n "127.0.0.1:{PORT}" -v "$v" 2>/dev/null | grep caught | sed "s/^/softflowd v$v: /"
  done
fi
for s in nf9 nf10; do
  [[ -s $work/$s.stream ]] || { echo "bench: no $s stream (softflowd missing or silent)" >&2; continue; }
  out=$(timeout 120 "$bench" decode netflow "$work/$s.stream" 2 $config)
  echo "$out" | sed "s/^/$s: /"
  for t in cold warm; do
    line=$(grep "table=$t" <<<"$out")
    dec[$s.$t.dps]=$(val dps "$line"); dec[$s.$t.ns]=$(val ns "$line")
    dec[$s.$t.cpu_ns]=$(val cpu_ns "$line"); dec[$s.rpd]=$(val records_per_datagram "$line")
  done
done
if [[ $have_ortolan == 1 ]]; then
  start_collect "$work/ortolan9.out"
  for s in nf9 nf10; do
    search "ortolan.$s" "$work/$s.stream" "$op" "$np" "$work/log"
    rm -f "$work/log"/* 2>/dev/null
  done
  stop_collect "$work/ortolan9.out"
fi
if have nfcapd; then
  for s in nf9 nf10; do
    p=$(free_port); mkdir -p "$work/nfcapd.$s"
    nfcapd -b 127.0.0.1 -p "$p" -w "$work/nfcapd.$s" -B 8388608 -t 3600 >"$work/nfcapd.$s.out" 2>&1 &
    cp=$!; disown "$cp"; pids+=("$cp"); sleep 1.5
    search "nfcapd.$s" "$work/$s.stream" "$cp" "$p"
    stop "$cp"
  done
fi
if have nfacctd; then
  for s in nf9 nf10; do
    p=$(free_port)
    sed -e "s/^nfacctd_port: .*/nfacctd_port: $p/" -e "s|^imt_path: .*|imt_path: $work/nfacctd.$s.pipe|" \
      "$work/nfacctd.conf" >"$work/nfacctd.$s.conf" 2>/dev/null || continue
    nfacctd -f "$work/nfacctd.$s.conf" >"$work/nfacctd.$s.out" 2>&1 &
    pp=$!; disown "$pp"; pids+=("$pp"); sleep 1.5
    search "pmacct.$s" "$work/$s.stream" "$pp" "$p" - "$work/nfacctd.$s.out" "Missing data detected"
    stop "$pp"
  done
fi
echo "==================================================================================================="
row "figure" "value" "unit" "ratio / target"
echo "---------------------------------------------------------------------------------------------------"
for s in nf9 nf10; do
  label=$([[ $s == nf9 ]] && echo "NetFlow v9 (softflowd)" || echo "IPFIX (softflowd)")
  for t in cold warm; do
    row "5. decode $label, $t" "$(n "${dec[$s.$t.dps]:-}")" "datagrams/s" \
      "$(n "${dec[$s.$t.ns]:-}") ns/dg wall, $(n "${dec[$s.$t.cpu_ns]:-}") ns/dg CPU, ${dec[$s.rpd]:-?} rec/dg"
  done
  row "5. live ortolan collect, $label" "$(n "${live[ortolan.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[ortolan.$s.cpu]:-}") us CPU/dg; bound: ${live[ortolan.$s.bound]:-n/a}"
  row "5. live nfcapd, $label" "$(n "${live[nfcapd.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[nfcapd.$s.cpu]:-}") us CPU/dg; bound: ${live[nfcapd.$s.bound]:-n/a}"
  row "5. live pmacct nfacctd, $label" "$(n "${live[pmacct.$s.rate]:-}")" "datagrams/s" \
    "$(n "${live[pmacct.$s.cpu]:-}") us CPU/dg; bound: ${live[pmacct.$s.bound]:-n/a}"
  row "   ortolan / nfcapd, $label" "$(ratio "${live[ortolan.$s.rate]:-}" "${live[nfcapd.$s.rate]:-}")" "" ""
  row "   ortolan / nfacctd, $label" "$(ratio "${live[ortolan.$s.rate]:-}" "${live[pmacct.$s.rate]:-}")" "" ""
done
echo "==================================================================================================="
exit 0
