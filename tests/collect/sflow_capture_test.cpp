#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sflow_mon.h"

namespace ortolan {
namespace {

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
    EXPECT_EQ(Le32(bytes, 16), 128u);
    EXPECT_EQ(Le32(bytes, 20), 1u);
    EXPECT_NEAR(double(Le32(bytes, 24)), double(std::time(nullptr)), 5);
    EXPECT_LT(Le32(bytes, 28), 1000000u);
    EXPECT_EQ(Le32(bytes, 32), 5u);
    EXPECT_EQ(Le32(bytes, 36), 1514u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 40, bytes.begin() + 45), header);
    EXPECT_EQ(Le32(bytes, 45 + 8), 200u) << "records above the snapshot length are written whole";
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
