// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling rate of every sampled header and flow record, wherever its
// exporter says it: the sFlow sample, the NetFlow v5 header, the v9/IPFIX
// record itself, or the options records that teach a sampler's or a source's
// rate; and the user's rate for exporters that say none. Each record's rate is
// read from the row it forms and from its port's tally.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "datagram_builder.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using namespace testing;

// The rate of every row, in order.
struct RateRows : IFlowRowSink {
    std::vector<uint32_t> rates;
    void OnFlowRow(const tagFlowRow& row) override { rates.push_back(row.samplingRate); }
};

tagAgentAddress Address(const char* text) { return *tagAgentAddress::Parse(text); }

class SamplingRates : public ::testing::Test {
protected:
    int64_t now = 1'700'000'000;
    RateRows rows;
    void Attach(CFlowCollector& c)
    {
        c.SetClock([this] { return now; });
        c.SetRowSink(&rows);
    }
    void Feed(CFlowCollector& c, const std::vector<uint8_t>& d, const char* sender = "192.0.2.1")
    {
        c.FeedDatagram(d.data(), d.size(), now, sender, 9995);
    }
    // The rates of the rows formed since the last call.
    std::vector<uint32_t> Take() { return std::exchange(rows.rates, {}); }
};

// One flow record of the template below: the v5 figures and a trailing field.
Bytes WithTrailer(const FlowSpec& f, const Bytes& trailer)
{
    Bytes b = SpecRecord(f);
    b.raw(trailer.data());
    return b;
}

Bytes TemplateWith(uint16_t id, uint16_t element, uint16_t length)
{
    Bytes b = SpecTemplate(id);
    Bytes t;
    // SpecTemplate's field count grows by one.
    const std::vector<uint8_t>& body = b.data();
    t.u16(id).u16(uint16_t(((body[2] << 8) | body[3]) + 1));
    t.raw(std::vector<uint8_t>(body.begin() + 4, body.end()));
    t.u16(element).u16(length);
    return t;
}

TEST_F(SamplingRates, SflowSamplesAndV5HeadersCarryTheirRate)
{
    CSFlowMon sflow;
    Attach(sflow);
    const auto record = RawHeaderRecordV5(EthernetIpv4Frame({}), 1514);
    Bytes compact = SflowV5Header(1, 2);
    compact.raw(FlowSampleV5({record}, false, -1, 512)).raw(FlowSampleV5({record}, true, -1, 2048));
    Feed(sflow, compact.data(), "10.0.0.1");
    Bytes none = SflowV5Header(2, 1);
    none.raw(FlowSampleV5({record}, false, -1, 0));
    Feed(sflow, none.data(), "10.0.0.1");
    EXPECT_EQ(Take(), (std::vector<uint32_t>{512, 2048, 1}));
    const tagSamplingSeen& seen = sflow.FindPort("sFlow V5:10.0.0.1:0")->sampling;
    EXPECT_EQ(seen.ratedRecords, 2u);
    EXPECT_EQ(seen.unscaledRecords, 1u);
    EXPECT_EQ(seen.lowest, 512u);
    EXPECT_EQ(seen.highest, 2048u);
    EXPECT_TRUE(seen.Mixed());

    // v5: the low 14 bits of the header's field, the top two being the mode;
    // v1 has no field at all.
    CNFlowMon netflow;
    Attach(netflow);
    Feed(netflow, NetflowV5(1, {FlowSpec{}, FlowSpec{}}, 0, -1, 5000, uint16_t(0x4000 | 1000)));
    Feed(netflow, NetflowV1({FlowSpec{}}));
    EXPECT_EQ(Take(), (std::vector<uint32_t>{1000, 1000, 1}));
    const tagSamplingSeen& v5 = netflow.FindPort("NetFlow V5:192.0.2.1:0")->sampling;
    EXPECT_EQ(v5.rate, 1000u);
    EXPECT_EQ(v5.ratedRecords, 2u);
    EXPECT_FALSE(v5.Mixed());
    EXPECT_EQ(netflow.FindPort("NetFlow V1:192.0.2.1:0")->sampling.unscaledRecords, 1u);
}

TEST_F(SamplingRates, TemplateRecordsCarryElement34Or50)
{
    CNFlowMon mon;
    Attach(mon);
    Bytes r34, r50, zero;
    r34.u32(100);
    r50.u16(300);
    zero.u32(0);
    Feed(mon, NetflowV9(1, 1, {FlowSet(0, TemplateWith(256, 34, 4)),
                               FlowSet(256, WithTrailer({}, r34).raw(WithTrailer({}, zero).data()))}));
    Feed(mon, Ipfix(1, 2, {FlowSet(2, TemplateWith(257, 50, 2)), FlowSet(257, WithTrailer({}, r50))}));
    // A rate of 0 is none: the record counts unscaled.
    EXPECT_EQ(Take(), (std::vector<uint32_t>{100, 1, 300}));
    EXPECT_EQ(mon.FindPort("NetFlow V9:192.0.2.1:1")->sampling.unscaledRecords, 1u);
    EXPECT_EQ(mon.FindPort("NetFlow V10:192.0.2.1:2")->sampling.rate, 300u);
}

TEST_F(SamplingRates, OptionsTeachEachSamplerItsRateFromThenOn)
{
    CNFlowMon mon;
    Attach(mon);
    // IPFIX: options template 400 scoped by selectorId (302, 8 bytes) with
    // samplingPacketInterval and samplingPacketSpace (305, 306): two samplers
    // in one domain, 1 of 2,000 and 1 of 4,000 (1 taken, 1,999 or 3,999 passed).
    Bytes options;
    options.u16(400).u16(3).u16(1).u16(302).u16(8).u16(305).u16(4).u16(306).u16(4);
    Bytes optionsData;
    optionsData.u64(1).u32(1).u32(1999).u64(2).u32(1).u32(3999);
    Bytes sel1, sel2, sel9;
    sel1.u64(1);
    sel2.u64(2);
    sel9.u64(9);
    auto data = [&] {
        return FlowSet(300, WithTrailer({}, sel1).raw(WithTrailer({}, sel2).data()).raw(WithTrailer({}, sel9).data()));
    };
    // Data before the options: nothing known yet.
    Feed(mon, Ipfix(1, 7, {FlowSet(2, TemplateWith(300, 302, 8)), data()}));
    EXPECT_EQ(Take(), (std::vector<uint32_t>{1, 1, 1}));
    Feed(mon, Ipfix(4, 7, {FlowSet(3, options), FlowSet(400, optionsData), data()}));
    // Sampler 9 was never described: unknown until the domain's own rate is.
    EXPECT_EQ(Take(), (std::vector<uint32_t>{2000, 4000, 1}));
    // A generic options record (samplingInterval 34, no sampler) gives the
    // domain's rate, which the named samplers keep theirs over.
    Bytes generic;
    generic.u16(401).u16(2).u16(1).u16(149).u16(4).u16(34).u16(4);
    Bytes genericData;
    genericData.u32(7).u32(100);
    Feed(mon, Ipfix(7, 7, {FlowSet(3, generic), FlowSet(401, genericData), data()}));
    EXPECT_EQ(Take(), (std::vector<uint32_t>{2000, 4000, 100}));
    const tagSamplingSeen& seen = mon.FindPort("NetFlow V10:192.0.2.1:7")->sampling;
    EXPECT_EQ(seen.unscaledRecords, 4u);
    EXPECT_EQ(seen.ratedRecords, 5u);
    EXPECT_EQ(seen.lowest, 100u);
    EXPECT_EQ(seen.highest, 4000u);

    // NetFlow v9: FLOW_SAMPLER_ID (48, one byte) with its random interval (50),
    // learnt per exporter and source id: another source does not share it.
    Bytes v9Options;
    v9Options.u16(260).u16(4).u16(8).u16(1).u16(4).u16(48).u16(1).u16(50).u16(4);
    Bytes v9OptionsData;
    v9OptionsData.u32(0).u8(3).u32(512).zeros(3);
    Bytes sampler3;
    sampler3.u8(3);
    for (uint32_t source : {5u, 6u}) {
        std::vector<Bytes> sets{FlowSet(0, TemplateWith(256, 48, 1)), FlowSet(256, WithTrailer({}, sampler3))};
        if (source == 5) sets.insert(sets.begin(), {FlowSet(1, v9Options), FlowSet(260, v9OptionsData)});
        Feed(mon, NetflowV9(1, source, sets));
    }
    EXPECT_EQ(Take(), (std::vector<uint32_t>{512, 1}));
}

TEST_F(SamplingRates, UserRateFillsInOnlyWhereTheExporterSaysNone)
{
    CNFlowMon mon;
    Attach(mon);
    mon.SetSamplingOverrides({{Address("192.0.2.1"), 1000}});
    Bytes r34;
    r34.u32(100);
    Bytes zero34;
    zero34.u32(0);
    Feed(mon, NetflowV5(1, {FlowSpec{}}));
    Feed(mon, NetflowV9(1, 1, {FlowSet(0, TemplateWith(256, 34, 4)), FlowSet(256, WithTrailer({}, r34))}));
    Feed(mon, NetflowV9(2, 1, {FlowSet(256, WithTrailer({}, zero34))}));  // says 0: no rate
    Feed(mon, NetflowV5(2, {FlowSpec{}}), "192.0.2.2");
    EXPECT_EQ(Take(), (std::vector<uint32_t>{1000, 100, 1000, 1}));
    EXPECT_EQ(mon.FindPort("NetFlow V5:192.0.2.1:0")->sampling.unscaledRecords, 0u);
    EXPECT_EQ(mon.FindPort("NetFlow V5:192.0.2.2:0")->sampling.unscaledRecords, 1u);

    // sFlow: by the agent address the datagram carries.
    CSFlowMon sflow;
    Attach(sflow);
    sflow.SetSamplingOverrides({{Address("10.0.0.1"), 64}});
    Bytes d = SflowV5Header(1, 2);
    const auto record = RawHeaderRecordV5(EthernetIpv4Frame({}), 1514);
    d.raw(FlowSampleV5({record}, false, -1, 0)).raw(FlowSampleV5({record}, false, -1, 256));
    Feed(sflow, d.data());
    EXPECT_EQ(Take(), (std::vector<uint32_t>{64, 256}));
}

TEST_F(SamplingRates, LearntSamplersAreChargedAndBounded)
{
    tagLimits limits;
    limits.maxSamplersPerExporter = 2;
    CNFlowMon mon(limits);
    Attach(mon);
    Bytes options;
    options.u16(400).u16(2).u16(1).u16(302).u16(4).u16(34).u16(4);
    Feed(mon, Ipfix(1, 7, {FlowSet(3, options)}));
    const uint64_t before = mon.budget().used();
    const uint64_t refusedBefore = mon.budget().refused();
    Bytes optionsData;
    for (uint32_t sampler = 1; sampler <= 3; ++sampler) optionsData.u32(sampler).u32(sampler * 10);
    Bytes sel3;
    sel3.u32(3);
    Feed(mon, Ipfix(2, 7, {FlowSet(400, optionsData), FlowSet(2, TemplateWith(300, 302, 4)),
                           FlowSet(300, WithTrailer({}, sel3))}));
    EXPECT_GT(mon.budget().used(), before);
    EXPECT_EQ(mon.budget().refused(), refusedBefore + 1);
    // The refused sampler's records have no rate.
    EXPECT_EQ(Take(), (std::vector<uint32_t>{1}));
    mon.Reset();
    EXPECT_EQ(mon.budget().used(), 0u);
}

// Scaled figures are the sum of count x rate over the records that added to
// an entry: the same whether a port's records all share one rate (a factor,
// nothing kept per entry) or come at several (per-entry sums from the switch).
TEST_F(SamplingRates, ScaledFiguresSumEachRecordTimesItsRate)
{
    // Flows between three hosts, each round at its own rate; 0 is none (x1).
    const uint32_t rounds[] = {100, 100, 250, 0, 4000, 100};
    FlowSpec ab, ba, ac;
    ba.src[3] = 3; ba.dst[3] = 1; ba.dst[2] = 0; ba.dst[1] = 0; ba.packets = 3; ba.octets = 900;
    ba.sport = 3000; ba.dport = 80;
    ac.dst[3] = 9; ac.protocol = 17; ac.packets = 7; ac.octets = 7000; ac.tos = 0x20;
    CNFlowMon mon;
    Attach(mon);
    std::map<std::string, tagScaled> expected;  // what each figure must come to
    auto expect = [&](const std::string& figure, const FlowSpec& f, uint32_t rate) {
        expected[figure].packets += int64_t(f.packets) * (rate ? rate : 1);
        expected[figure].bytes += int64_t(f.octets) * (rate ? rate : 1);
    };
    uint32_t sequence = 1;
    for (uint32_t rate : rounds) {
        Bytes r;
        r.u32(rate);
        Bytes records = WithTrailer(ab, r);
        records.raw(WithTrailer(ba, r).data()).raw(WithTrailer(ac, r).data());
        Feed(mon, NetflowV9(sequence++, 1, {FlowSet(0, TemplateWith(256, 34, 4)), FlowSet(256, records)}));
        for (const FlowSpec* f : {&ab, &ba, &ac}) {
            expect("total", *f, rate);
            expect(f->protocol == 6 ? "tcp" : "udp", *f, rate);
        }
        expect("10.0.0.1 tx", ab, rate);
        expect("10.0.0.1 tx", ac, rate);
        expect("10.0.0.1 rx", ba, rate);
        expect("tos", ac, rate);
        expect("pair", ab, rate);
        CMonPort& port = *mon.FindPort("NetFlow V9:192.0.2.1:1");
        // The first two rounds share rate 100: no sums are kept until the third.
        EXPECT_EQ(port.scaled.split(), sequence > 3) << sequence;
        if (!port.scaled.split()) EXPECT_EQ(port.scaled.entriesKept(), 0u);
        // Checked after every round: before, at and after the switch.
        const tagIpEntry* a = port.FindIp("10.0.0.1");
        const tagProtStat* tcp = port.FindStat(port.ipProtocols, "IP(6)");
        const tagProtStat* udp = port.FindStat(port.ipProtocols, "IP(17)");
        ASSERT_TRUE(a && tcp && udp && port.tosTable.size() == 1);
        const tagProtStat& tos = port.tosTable.begin()->second;
        const std::pair<const char*, tagScaled> got[] = {
            {"total", {port.scaled.totalPackets(), port.scaled.totalBytes()}},
            {"tcp", port.scaled.Of(tcp->packets, tcp->bytes)},
            {"udp", port.scaled.Of(udp->packets, udp->bytes)},
            {"10.0.0.1 tx", port.scaled.Of(a->txPackets, a->txBytes)},
            {"10.0.0.1 rx", port.scaled.Of(a->rxPackets, a->rxBytes)},
            {"tos", port.scaled.Of(tos.packets, tos.bytes)},
        };
        for (const auto& [figure, value] : got) {
            EXPECT_EQ(value.packets, expected[figure].packets) << figure << " after rate " << rate;
            EXPECT_EQ(value.bytes, expected[figure].bytes) << figure << " after rate " << rate;
        }
        // The pair of 10.0.0.1 and 10.1.2.3: A (the smaller text) to B only.
        const tagMtxEntry* pair = port.FindPair("10.0.0.1", "10.1.2.3");
        ASSERT_NE(pair, nullptr);
        const tagScaled aToB = port.scaled.Of(pair->packetsAtoB, pair->bytesAtoB);
        EXPECT_EQ(aToB.packets, expected["pair"].packets);
        EXPECT_EQ(aToB.bytes, expected["pair"].bytes);
        EXPECT_EQ(port.scaled.Of(pair->packetsBtoA, pair->bytesBtoA).packets, 0);
    }
    const CMonPort& port = *mon.FindPort("NetFlow V9:192.0.2.1:1");
    EXPECT_TRUE(port.scaled.split());
    EXPECT_FALSE(port.scaled.inexact());
    EXPECT_EQ(port.sampling.unscaledRecords, 3u);
}

}  // namespace
}  // namespace ortolan
