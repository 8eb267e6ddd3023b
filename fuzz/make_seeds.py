#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed corpora of the fuzzers: small, valid examples of every
datagram family, header layout, name-table line and log line the program
reads, so the fuzzers start from inputs that reach deep into each decoder.
Run from anywhere; rewrites fuzz/corpus/<target>/."""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def u32(*values):
    return b"".join(struct.pack(">I", v & 0xFFFFFFFF) for v in values)


def pad4(b):
    return b + b"\0" * ((4 - len(b) % 4) % 4)


def mac(last):
    return bytes([0x00, 0x11, 0x22, 0x33, 0x44, last])


def ipv4(proto, src, dst, payload, tos=0, frag=0):
    total = 20 + len(payload)
    return struct.pack(">BBHHHBBH4s4s", 0x45, tos, total, 1, frag, 64, proto, 0,
                       bytes(src), bytes(dst)) + payload


def ipv6(next_header, src_last, dst_last, payload, traffic_class=0):
    src = bytes.fromhex("20010db8000000000000000000000000")[:15] + bytes([src_last])
    dst = bytes.fromhex("fe800000000000000211223344550000")[:15] + bytes([dst_last])
    first = 0x60000000 | traffic_class << 20
    return struct.pack(">IHBB", first, len(payload), next_header, 64) + src + dst + payload


def ext(next_header, units=0):
    return bytes([next_header, units]) + b"\0" * (6 + 8 * units)


def fragment(next_header, offset, more):
    return struct.pack(">BBHI", next_header, 0, offset << 3 | more, 0xCAFE)


def tcp(sport, dport):
    return struct.pack(">HHIIBBHHH", sport, dport, 1, 0, 0x50, 0x02, 8192, 0, 0)


def udp(sport, dport):
    return struct.pack(">HHHH", sport, dport, 8, 0)


def ether(payload, etype=0x0800, dst=1, src=2):
    return mac(dst) + mac(src) + struct.pack(">H", etype) + payload


FRAMES = {
    "tcp": ether(ipv4(6, [192, 168, 0, 10], [192, 168, 0, 20], tcp(50000, 80))),
    "udp": ether(ipv4(17, [10, 0, 0, 1], [10, 0, 0, 2], udp(53, 40000)), dst=3, src=4),
    "icmp": ether(ipv4(1, [10, 0, 0, 1], [10, 0, 0, 9], b"\x08\x00\x00\x00"), dst=5, src=6),
    "tos_fragment": ether(ipv4(6, [1, 2, 3, 4], [5, 6, 7, 8], b"\0" * 8, tos=0x10, frag=0x20)),
    "vlan": mac(1) + mac(2) + b"\x81\x00\x00\x0a\x08\x00"
            + ipv4(17, [172, 16, 0, 1], [172, 16, 0, 2], udp(161, 1024)),
    "snap": mac(1) + mac(2) + b"\x00\x40\xaa\xaa\x03\x00\x00\x00\x08\x00"
            + ipv4(6, [10, 1, 1, 1], [10, 1, 1, 2], tcp(22, 60000)),
    "llc_ip": mac(1) + mac(2) + b"\x00\x40\x06\x06\x03"
              + ipv4(6, [10, 1, 1, 1], [10, 1, 1, 2], tcp(443, 1234)),
    "pppoe": mac(1) + mac(2) + b"\x88\x64\x11\x00\x00\x01\x00\x30\x00\x21"
             + ipv4(17, [100, 64, 0, 1], [8, 8, 8, 8], udp(5353, 53)),
    "arp": ether(b"\x00\x01\x08\x00\x06\x04\x00\x01" + b"\0" * 20, etype=0x0806),
    "broadcast": bytes([0xff] * 6) + mac(9) + b"\x08\x00"
                 + ipv4(17, [192, 168, 0, 5], [255, 255, 255, 255], udp(68, 67)),
    "ipv6_chain": ether(ipv6(0, 2, 9, ext(43) + ext(60, 1) + ext(6) + tcp(443, 50000), 0xb8), etype=0x86DD),
    "ipv6_fragments": ether(ipv6(44, 3, 4, fragment(17, 0, 1) + udp(547, 546)), etype=0x86DD),
    "ipv6_later_fragment": ether(ipv6(44, 3, 4, fragment(17, 185, 0) + b"\0" * 8), etype=0x86DD),
    "ipv6_vlan_icmpv6": mac(1) + mac(2) + b"\x81\x00\x00\x0a\x86\xdd"
                        + ipv6(58, 5, 6, b"\x87\x00\x00\x00" + b"\0" * 20),
    "ipv6_pppoe": mac(1) + mac(2) + b"\x88\x64\x11\x00\x00\x01\x00\x30\x00\x57"
                  + ipv6(17, 7, 8, udp(5353, 53)),
}

GENERIC = u32(3, 6, 0, 100000000, 1, 3, 0, 123456, 100, 2, 3, 0, 0, 0, 0, 654321, 90, 1, 1, 0, 0, 0)


def raw_header_v5(frame):
    body = u32(1, len(frame) + 4, 0, len(frame)) + pad4(frame)
    return u32(1, len(body)) + body


def flow_sample_v5(frames, expanded=False):
    head = u32(*([7] + [0] * 9)) if expanded else u32(7, 3, 256, 1000, 0, 1, 2)
    records = b"".join(raw_header_v5(f) for f in frames)
    body = head + u32(len(frames)) + records
    return u32(3 if expanded else 1, len(body)) + body


def counter_sample_v5(expanded=False):
    head = u32(9, 0, 3) if expanded else u32(9, 3)
    body = head + u32(1) + u32(1, len(GENERIC)) + GENERIC
    return u32(4 if expanded else 2, len(body)) + body


def sflow_v5(samples, agent=(192, 168, 0, 1), sub_agent=0, seq=1):
    return (u32(5, 1) + bytes(agent) + u32(sub_agent, seq, 360000, len(samples))
            + b"".join(samples))


def sflow_v2(version, frame, extended=b""):
    flow = (u32(1) + u32(7, 3, 256, 1000, 0, 1, 2) + u32(1) + u32(1, len(frame), len(frame))
            + pad4(frame) + extended)
    counters = u32(2) + u32(9, 3, 20) + u32(1) + GENERIC
    return u32(version, 1) + bytes([10, 0, 0, 254]) + u32(7, 360000, 2) + flow + counters


def netflow_record(src, dst, proto, sport, dport, v5=True):
    rec = struct.pack(">4s4s4sHHIIIIHH", bytes(src), bytes(dst), bytes([0, 0, 0, 0]), 1, 2,
                      10, 1500, 1000, 2000, sport, dport)
    if v5:
        rec += struct.pack(">BBBBHHBBH", 0, 0x18, proto, 0x10, 0, 0, 24, 16, 0)
    else:
        rec += struct.pack(">HBBB7s", 0, proto, 0x10, 0x18, b"\0" * 7)
    return rec


def netflow_v5(records, engine=1, seq=1):
    head = struct.pack(">HHIIIIBBH", 5, len(records), 360000, 1700000000, 0, seq, 0, engine, 0)
    return head + b"".join(records)


def netflow_v1(records):
    return struct.pack(">HHIII", 1, len(records), 360000, 1700000000, 0) + b"".join(records)


def flow_set(set_id, body):
    return struct.pack(">HH", set_id, 4 + len(body)) + body


def template(template_id, fields):
    return struct.pack(">HH", template_id, len(fields)) + b"".join(struct.pack(">HH", *f) for f in fields)


def netflow_v9(sets, seq=1, source_id=0):
    return struct.pack(">HHIIII", 9, len(sets), 360000, 1700000000, seq, source_id) + b"".join(sets)


def ipfix(sets, seq=0, domain=0):
    body = b"".join(sets)
    return struct.pack(">HHIII", 10, 16 + len(body), 1700000000, seq, domain) + body


# Addresses, interfaces, packets, octets, ports, ICMP type, protocol, ToS, mask.
FLOW_FIELDS = [(8, 4), (12, 4), (10, 2), (14, 2), (2, 4), (1, 4), (7, 2), (11, 2), (32, 2), (4, 1), (5, 1), (13, 1)]


def flow_data(src, dst, proto, sport, dport, icmp=0):
    return (bytes(src) + bytes(dst) + struct.pack(">HHIIHHHBBB", 1, 2, 10, 1500, sport, dport, icmp, proto, 0x10, 24))


def ipv6_flow(src_last, dst_last, proto):
    prefix = bytes([0x20, 0x01, 0x0d, 0xb8] + [0] * 11)
    return prefix + bytes([src_last]) + prefix + bytes([dst_last]) + struct.pack(">IIB", 3, 300, proto)


def framed(*datagrams):
    return b"".join(struct.pack(">H", len(d)) + d for d in datagrams)


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    sflow = {
        "v5_flows": sflow_v5([flow_sample_v5([FRAMES["tcp"], FRAMES["udp"]])]),
        "v5_expanded": sflow_v5([flow_sample_v5([FRAMES["vlan"]], True), counter_sample_v5(True)],
                                sub_agent=3),
        "v5_counters": sflow_v5([counter_sample_v5()], agent=(127, 0, 0, 1)),
        "v5_mixed": sflow_v5([flow_sample_v5([FRAMES["icmp"], FRAMES["pppoe"]]),
                              counter_sample_v5(), flow_sample_v5([FRAMES["snap"]])]),
        "v2_header": sflow_v2(2, FRAMES["tcp"]),
        "v4_extended": sflow_v2(4, FRAMES["llc_ip"], u32(1) + u32(1, 10, 0, 20, 0)),
        "v5_ipv6_agent": u32(5, 2) + bytes(range(16)) + u32(0, 5, 1000, 1)
                         + flow_sample_v5([FRAMES["arp"]]),
    }
    for name, data in sflow.items():
        write("sflow_datagram", name, data)

    records = [netflow_record([10, 0, 0, 1], [10, 0, 0, 2], 6, 50000, 80),
               netflow_record([10, 0, 0, 2], [224, 0, 0, 5], 17, 53, 53),
               netflow_record([10, 0, 0, 3], [255, 255, 255, 255], 1, 0, 0x0800)]
    netflow = {
        "v5_three": netflow_v5(records),
        "v5_short_count": netflow_v5(records[:1])[:-10],
        "v1_two": netflow_v1([netflow_record([192, 168, 1, 1], [172, 16, 0, 1], 6, 22, 1234, False),
                              netflow_record([1, 1, 1, 1], [2, 2, 2, 2], 17, 161, 3000, False)]),
        "v9_header": struct.pack(">HHIIII", 9, 0, 1000, 1700000000, 1, 0),
    }
    flows = (flow_data([10, 0, 0, 1], [10, 0, 0, 2], 6, 50000, 80)
             + flow_data([10, 0, 0, 3], [10, 0, 0, 255], 1, 0, 0, 0x0303))
    v9_options = struct.pack(">HHHHHHH", 300, 4, 4, 1, 4, 34, 4)
    netflow["v9_templates"] = netflow_v9([flow_set(0, template(256, FLOW_FIELDS)), flow_set(1, v9_options),
                                          flow_set(300, struct.pack(">II", 0, 100)), flow_set(256, flows)])
    # An enterprise field and a variable-length one (both length forms), IPv6 addresses.
    ipfix_layout = (struct.pack(">HHHHI", 400, 6, 0x8001, 4, 9) + struct.pack(">HH", 96, 65535)
                    + template(0, [(27, 16), (28, 16), (2, 4), (1, 4), (4, 1)])[4:])
    ipfix_data = (struct.pack(">IB", 7, 2) + b"ab" + ipv6_flow(1, 2, 17)
                  + struct.pack(">IBH", 7, 255, 3) + b"abc" + ipv6_flow(2, 1, 58))
    netflow["ipfix_variable"] = ipfix([flow_set(2, ipfix_layout), flow_set(400, ipfix_data)], domain=5)
    netflow["ipfix_withdraw"] = ipfix([flow_set(2, template(256, FLOW_FIELDS)), flow_set(256, flows),
                                       flow_set(2, struct.pack(">HH", 256, 0)), flow_set(256, flows),
                                       flow_set(3, struct.pack(">HHHHHHH", 301, 2, 1, 149, 4, 34, 4)),
                                       flow_set(3, struct.pack(">HH", 3, 0))], seq=3)
    for name, data in netflow.items():
        write("netflow_datagram", name, data)

    # Templates in one datagram, their data in the next, a redefinition between.
    write("flow_templates", "v9_then_data",
          framed(netflow_v9([flow_set(0, template(256, FLOW_FIELDS))], seq=1),
                 netflow_v9([flow_set(256, flows)], seq=2),
                 netflow_v9([flow_set(0, template(256, [(12, 4), (8, 4), (2, 8)]))], seq=3),
                 netflow_v9([flow_set(256, bytes([10, 0, 0, 9, 10, 0, 0, 1]) + struct.pack(">Q", 4))], seq=4)))
    write("flow_templates", "ipfix_mixed", framed(netflow["ipfix_variable"], netflow["ipfix_withdraw"]))
    write("flow_templates", "data_first", framed(netflow_v9([flow_set(256, flows)], seq=9)))

    for name, frame in FRAMES.items():
        write("header_decoder", name, bytes([0]) + struct.pack(">H", len(frame) + 4) + frame)
    write("header_decoder", "raw_ipv4", bytes([1, 0x05, 0xdc])
          + ipv4(6, [10, 9, 8, 7], [10, 9, 8, 6], tcp(8080, 4000)))
    write("header_decoder", "raw_ipv6", bytes([5, 0x05, 0xdc])
          + ipv6(60, 1, 2, ext(58) + b"\x80\x00\x00\x00\x00\x01\x00\x01"))

    write("oui_table", "ieee", b"OUI/MA-L\t\t\tOrganization\n"
          b"08-00-20   (hex)\t\tOracle Corporation\n080020     (base 16)\t\tOracle Corporation\n"
          b"00-00-0C   (hex)\t\tCisco Systems, Inc\r\n\t\t\t\tSan Jose CA 95134\n")
    write("protocol_table", "ipprot", b"# protocols\n0 HOPOPT\n1 ICMP\n6 TCP\n17 UDP\n255 Reserved\n"
          b"  47\tGRE   generic\n")
    write("port_table", "services", b"# services\nftp\t\t21/tcp\nftp-data 20/tcp\n"
          b"domain\t\t53/udp\t\t\t# DNS\nbad 70000/tcp\nsnmp 161/udp snmp-agent\n#http 80/tcp\n"
          b"both 7/tcp 7/udp\n")

    def log_line(kind, time, sender, port, data):
        return b"%s\t%d\t%s\t%d\t%s\n" % (kind, time, sender, port, data.hex().upper().encode())

    write("flow_log_replay", "mixed",
          log_line(b"N", 1700000000, b"192.0.2.9", 2055, netflow["v5_three"])
          + log_line(b"S", 1700000030, b"192.0.2.1", 50000, sflow["v5_flows"])
          + log_line(b"S", 1700000061, b"192.0.2.1", 50000, sflow["v5_mixed"]))
    write("flow_log_replay", "damaged",
          b"garbage without tabs\n" + log_line(b"X", 1700000000, b"10.0.0.1", 1, sflow["v2_header"])
          + b"S\t1700000001\t10.0.0.1\n" + b"S\tnotime\t10.0.0.1\tport\t0A1\r\n"
          + log_line(b"S", 1699990000, b"10.0.0.1", 6343, sflow["v5_counters"])[:-40])

    # The first line also stands in for a file name of the log folder.
    write("flow_log_replay", "file_name", b"FL2009-03-14.log\nFLnotes.log\n")

    write("status_markup", "status", "<font size=9pt color=#00ff00>sFlow 受信中</font><br>"
          "<FONT COLOR='#ff0000' size=\"12pt\">停止</FONT><br><b>x</b> &lt;&amp;&gt; &#39;&nbsp;"
          .encode())
    write("status_markup", "nested", b"<font size=72pt><font size=1pt color=#123456>a<br></font>"
          b"b</font>< c <fontsize=9pt> <font size=999pt color=#zzzzzz>d")

    # First byte: the function (low three bits) and its options; see snmp_text_fuzz.cpp.
    snmp = {
        "result_line": b"\x00SFLOW-MIB::sFlowRcvrOwner.1 = STRING: \"ortolan\\t\"",
        "result_oid": b"\x08SFLOW-MIB::sFlowFsDataSource.11.1.3.6.1.2.1.2.2.1.1.5.1 = OID: IF-MIB::ifIndex.5",
        "short_name": b"\x01OID: SFLOW-MIB::sFlowRcvrOwner.1",
        "value_of": b"\x02sFlowRcvrPort.1=INTEGER: 6343  sFlowRcvrPort.1",
        "int_text": b"\x03ipv4(1)",
        "hex_string": b"\x7csFlowRcvrOwner.1 = Hex-STRING: E6 97 A5 E6 9C AC \xe6\x97\xa5\xe6\x9c\xac",
        "address_hex": b"\x05C0 A8 01 0A",
        "address_ip": b"\x05IpAddress: 10.0.0.1",
        "data_source": b"\x0611.1.3.6.1.2.1.2.2.1.1.5.1",
        "split": b"\x07a,b;;c d,;",
    }
    for name, data in snmp.items():
        write("snmp_text", name, data)


if __name__ == "__main__":
    main()
