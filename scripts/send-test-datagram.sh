#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sends hand-made test datagrams to a running Ortolan on this machine:
# an sFlow v5 datagram (one sampled TCP packet, one interface counter sample)
# and a NetFlow v5 datagram (one flow), COUNT times each with rising sequence numbers.
#   scripts/send-test-datagram.sh [COUNT] [SFLOW_PORT] [NETFLOW_PORT]
set -euo pipefail
count=${1:-10}
sflow_port=${2:-6343}
netflow_port=${3:-2100}

hex() { printf '%08X' "$1"; }
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
send() {  # hex text, port
  local bin="" h=$1
  for ((i = 0; i < ${#h}; i += 2)); do bin+="\\x${h:i:2}"; done
  # printf flushes at every newline byte; cat hands the whole datagram to one write.
  printf "$bin" > "$tmp"
  cat "$tmp" > "/dev/udp/127.0.0.1/$2"
}

frame=001122334455""00AABBCCDDEE""0800""45000028000140004006""0000""C0A80002""C0A80009""00500BB8""00000000000000005010FFFF00000000
for ((n = 1; n <= count; n++)); do
  # sFlow v5 header: version, IPv4 agent 10.0.0.1, sub-agent 0, sequence, uptime, 2 samples
  d="00000005""00000001""0A000001""00000000"$(hex "$n")$(hex $((n * 1000)))"00000002"
  # flow sample: format 1, length, sequence, source, rate, pool, drops, in, out, 1 record
  rec="00000001"$(hex 1514)"00000004"$(hex $(( ${#frame} / 2 )))$frame
  body="00000001""00000003""00000190""000003E8""00000000""00000001""00000002""00000001"
  body+="00000001"$(hex $(( ${#rec} / 2 )))$rec
  d+="00000001"$(hex $(( ${#body} / 2 )))$body
  # counter sample: format 2, generic interface counters of ifIndex 3
  ctr="00000003""00000006""000000003B9ACA00""00000001""00000003"
  ctr+=$(printf '%016X' $((n * 1500000)))$(hex $((n * 1000)))"00000000""00000000""00000000""00000000""00000000"
  ctr+="0000000000000000""00000000""00000000""00000000""00000000""00000000""00000000"
  cbody="00000001""00000003""00000001""00000001"$(hex $(( ${#ctr} / 2 )))$ctr
  d+="00000002"$(hex $(( ${#cbody} / 2 )))$cbody
  send "$d" "$sflow_port"
  # NetFlow v5: header and one TCP flow 10.0.0.1:80 -> 10.1.2.3:3000, 10 packets, 15000 octets
  nf="0005""0001"$(hex $((n * 1000)))"00000000""00000000"$(hex "$n")"00""00""0000"
  nf+="0A000001""0A010203""00000000""0001""0002""0000000A""00003A98""00000000""00000000"
  nf+="0050""0BB8""00""00""06""00""0000""0000""00""18""0000"
  send "$nf" "$netflow_port"
done
echo "sent $count sFlow datagrams to port $sflow_port and $count NetFlow datagrams to port $netflow_port"
