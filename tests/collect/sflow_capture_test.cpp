// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "capture_file.h"
#include "datagram_builder.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using testing::Bytes;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Whether this process holds a descriptor open on the file.
bool HeldOpen(const std::string& path)
{
    std::error_code error;
    const auto target = std::filesystem::canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == target) return true;
    }
    return false;
}

class CaptureFileTest : public ::testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() /
                        ("ortolan-capture-" + std::to_string(::getpid()) + ".pcap")).string();
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(CaptureFileTest, HeaderAndRecordsReadBackByteForByte)
{
    CSFlowMon sflow;
    const CMonPort& port = *sflow.AddPort("10.0.0.1", 0);
    const CMonPort& other = *sflow.AddPort("10.0.0.2", 0);
    ASSERT_TRUE(sflow.OpenCapture(port, path));
    EXPECT_FALSE(sflow.OpenCapture(port, path)) << "a second open fails while one is open";
    std::vector<uint8_t> header{1, 2, 3, 4, 5};
    sflow.AppendCapture(port, header.data(), uint32_t(header.size()), 1514);
    sflow.AppendCapture(other, header.data(), 5, 60);  // another port's header: not this file's
    std::vector<uint8_t> big(200, 0xAB);
    sflow.AppendCapture(port, big.data(), uint32_t(big.size()), 200);
    sflow.CloseCapture(port);
    EXPECT_EQ(sflow.Capture(port), nullptr);
    EXPECT_FALSE(HeldOpen(path));
    sflow.AppendCapture(port, header.data(), 5, 60);  // closed: ignored

    auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 24u + 16 + 5 + 16 + 200);
    EXPECT_EQ(Le32(bytes, 0), 0xa1b2c3d4u);
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(bytes[6], 4);
    EXPECT_EQ(Le32(bytes, 16), CCaptureFile::kSnapLength);
    EXPECT_EQ(Le32(bytes, 20), 1u);
    EXPECT_NEAR(double(Le32(bytes, 24)), double(std::time(nullptr)), 5);
    EXPECT_LT(Le32(bytes, 28), 1000000u);
    EXPECT_EQ(Le32(bytes, 32), 5u);
    EXPECT_EQ(Le32(bytes, 36), 1514u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 40, bytes.begin() + 45), header);
    EXPECT_EQ(Le32(bytes, 45 + 8), 200u);
}

TEST_F(CaptureFileTest, SnapshotLengthHoldsTheLongestSampledHeader)
{
    // The longest header a datagram can carry, decoded and captured as received.
    CSFlowMon sflow;
    sflow.SetClock([] { return int64_t(1'700'000'000); });
    auto feed = [&](uint32_t sequence, size_t length) {
        Bytes d = testing::SflowV5Header(sequence, 1);
        d.raw(testing::FlowSampleV5({testing::RawHeaderRecordV5(std::vector<uint8_t>(length, 0xAB), 9000)}));
        ASSERT_LE(d.size(), kDatagramCapacity);
        sflow.FeedDatagram(d.data().data(), d.size(), 1'700'000'000, "192.0.2.50", 6343);
    };
    feed(1, 4);  // makes the agent's port
    const CMonPort* port = sflow.FindPort("sFlow V5:10.0.0.1:0");
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(sflow.OpenCapture(*port, path));
    const size_t fixed = testing::SflowV5Header(1, 1).size() +
                         testing::FlowSampleV5({testing::RawHeaderRecordV5({}, 60)}).size();
    const size_t longest = (kDatagramCapacity - fixed) & ~size_t(3);
    feed(2, 129);
    feed(3, longest);
    sflow.CloseCapture(*port);

    const auto bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 24u);
    const uint32_t snapLength = Le32(bytes, 16);
    std::vector<uint32_t> lengths;
    for (size_t at = 24; at + 16 <= bytes.size(); at += 16 + Le32(bytes, at + 8)) {
        lengths.push_back(Le32(bytes, at + 8));
        EXPECT_LE(lengths.back(), snapLength) << "a record longer than the file's snapshot length";
        EXPECT_LE(at + 16 + lengths.back(), bytes.size());
    }
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(lengths[0], 129u);
    EXPECT_EQ(lengths[1], longest) << "the header is written whole";
}

TEST_F(CaptureFileTest, UncreatableFileFails)
{
    CSFlowMon sflow;
    const CMonPort& port = *sflow.AddPort("10.0.0.1", 0);
    EXPECT_FALSE(sflow.OpenCapture(port, "/nonexistent-folder/x.pcap"));
    EXPECT_EQ(sflow.Capture(port), nullptr);
}

TEST_F(CaptureFileTest, ResetClosesThePortsFiles)
{
    CSFlowMon sflow;
    const std::vector<uint8_t> header{1, 2, 3, 4, 5};
    ASSERT_TRUE(sflow.OpenCapture(*sflow.AddPort("10.0.0.1", 0), path));
    ASSERT_TRUE(HeldOpen(path));
    sflow.Reset();
    EXPECT_FALSE(HeldOpen(path));
    CMonPort& after = *sflow.AddPort("10.0.0.1", 0);
    EXPECT_EQ(sflow.Capture(after), nullptr) << "the port after a reset has no file";
    sflow.AppendCapture(after, header.data(), 5, 60);
    EXPECT_EQ(ReadAll(path).size(), 24u) << "the reset closed the file after its header";
}

}  // namespace
}  // namespace ortolan
