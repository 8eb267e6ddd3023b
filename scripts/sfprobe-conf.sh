# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that catch pmacctd's sFlow probe: writes DIR/pmacctd.conf
# for a probe reading PCAP once, at sampling rate 1, as agent 10.9.9.9 sub-agent 3.
# The receiver's port is left as @PORT@ for the catcher to fill in.
write_sfprobe_conf() {
  cat >"$1/pmacctd.conf" <<EOF2
daemonize: false
pcap_savefile: $2
plugins: sfprobe
sfprobe_receiver: 127.0.0.1:@PORT@
sfprobe_agentip: 10.9.9.9
sfprobe_agentsubid: 3
sampling_rate: 1
EOF2
}
