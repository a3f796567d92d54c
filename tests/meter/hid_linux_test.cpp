// The hidraw backend against a fake sysfs tree and FIFOs standing in for
// the device nodes: enumeration, matching, report lengths, the report-ID
// byte and the time limit.

#include "meter/hid_linux.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace zelmar {
namespace {

namespace fs = std::filesystem;

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path()
            / ("zelmar-hidraw-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "dev");
        roots_.sysClass = (root_ / "class").string();
        roots_.dev = (root_ / "dev").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    void addNode(const std::string& name, const std::string& hidId, const std::string& descriptor = {})
    {
        const fs::path device = root_ / "class" / name / "device";
        fs::create_directories(device);
        std::ofstream(device / "uevent") << "DRIVER=hid-generic\nHID_ID=" << hidId << "\nHID_NAME=test\n";
        if (!descriptor.empty())
            std::ofstream(device / "report_descriptor", std::ios::binary) << descriptor;
        ASSERT_EQ(::mkfifo((root_ / "dev" / name).c_str(), 0600), 0);
    }

    fs::path root_;
    hidraw::Roots roots_;
};

const std::string kDescriptor64("\x06\x00\xFF\x09\x01\xA1\x01\x15\x00\x26\xFF\x00\x75\x08\x95\x40"
                                "\x09\x01\x81\x02\x95\x40\x09\x01\x91\x02\xC0",
    27);

TEST_F(FakeSysfs, PicksTheFirstMatchingNodeInNumberOrder)
{
    addNode("hidraw10", "0003:00001A86:0000E429");
    addNode("hidraw2", "0003:00001A86:0000E430", kDescriptor64); // another product
    addNode("hidraw3", "0003:00001a86:0000e429", kDescriptor64);
    dmm_caps caps { 1, 1 };
    HidHandle handle = hidraw::open(roots_, 0x1A86, 0xE429, &caps);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(caps.input_len, 65);
    EXPECT_EQ(caps.output_len, 65);

    // The report goes out with its ID byte; the FIFO hands the same bytes
    // back as an unnumbered report, which gains an ID byte of 0.
    const std::uint8_t report[4] = { 0x00, 0x57, 0xAB, 0x00 };
    EXPECT_EQ(hid_write(handle, report, 4), 4);
    std::uint8_t buffer[64] = { 0xEE };
    ASSERT_EQ(hid_read(handle, buffer, sizeof buffer, 200), 5);
    EXPECT_EQ(buffer[0], 0x00);
    EXPECT_EQ(buffer[1], 0x00);
    EXPECT_EQ(buffer[2], 0x57);
    hid_close(handle);
    hid_close(nullptr);
}

TEST_F(FakeSysfs, UnreadableDescriptorGives64AndSilenceTimesOut)
{
    addNode("hidraw0", "0003:00001A86:0000E429");
    dmm_caps caps;
    HidHandle handle = hidraw::open(roots_, 0x1A86, 0xE429, &caps);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(caps.input_len, 64);
    EXPECT_EQ(caps.output_len, 64);
    std::uint8_t buffer[64];
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(hid_read(handle, buffer, sizeof buffer, 100), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(90));
    hid_close(handle);
}

TEST_F(FakeSysfs, AWriteThatCannotGoEndsAtItsLimit)
{
    // Nobody reads the FIFO: once it is full, a write must give up after
    // its one-second limit instead of waiting for ever.
    addNode("hidraw0", "0003:00001A86:0000E429");
    HidHandle handle = hidraw::open(roots_, 0x1A86, 0xE429, nullptr);
    ASSERT_NE(handle, nullptr);
    std::uint8_t report[64] = { 0x00, 0xAB };
    int written = 0;
    while (written < 1 << 20) {
        const std::int32_t n = hid_write(handle, report, sizeof report);
        if (n < 0)
            break;
        ASSERT_EQ(n, 64);
        written += n;
    }
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 1 << 20) << "a full FIFO was written to without end";
    EXPECT_EQ(hid_write(handle, report, sizeof report), -1);
    hid_close(handle);
}

TEST_F(FakeSysfs, NoMatchOrNoTreeIsNull)
{
    addNode("hidraw0", "0003:00001A86:0000E430");
    addNode("hidraw1", "garbage");
    EXPECT_EQ(hidraw::open(roots_, 0x1A86, 0xE429, nullptr), nullptr);
    roots_.sysClass = (root_ / "missing").string();
    EXPECT_EQ(hidraw::open(roots_, 0x1A86, 0xE429, nullptr), nullptr);
    // A matching node that cannot be opened is passed over.
    addNode("hidraw5", "0003:00001A86:0000E429");
    fs::remove(root_ / "dev" / "hidraw5");
    roots_.sysClass = (root_ / "class").string();
    EXPECT_EQ(hidraw::open(roots_, 0x1A86, 0xE429, nullptr), nullptr);
}

TEST(HidLinux, NullHandlesFail)
{
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(hid_write(nullptr, buffer, 8), -1);
    EXPECT_EQ(hid_read(nullptr, buffer, 8, 10), -1);
}

} // namespace
} // namespace zelmar
