#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the IP protocol name table ("%d %s": number, name) from a protocols
# file in the netbase layout ("name number ALIAS # comment"); the upper-case
# alias is the name administrators know (TCP, UDP, ICMP), and ICMP for IPv6 is
# called ICMPv6 there, not by its registry alias IPv6-ICMP.
# usage: make_protocol_table.sh /etc/protocols OUTPUT
set -eu
awk '!/^[ \t]*#/ && NF >= 2 && $2 ~ /^[0-9]+$/ {
  name = $1
  if (NF >= 3 && $3 !~ /^#/) name = $3
  if (name == "IPv6-ICMP") name = "ICMPv6"
  print $2 " " name
}' "$1" > "$2.tmp"
mv "$2.tmp" "$2"
