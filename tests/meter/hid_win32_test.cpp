// The Windows HID primitives under Wine. There is no meter, so enumeration
// must come back empty; the timed overlapped transfers are exercised on a
// named pipe, which completes and cancels I/O the same way a HID handle does.

#include "core/win32_handle.h"
#include "meter/hid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace zelmar {
namespace {

TEST(HidWin32, NoMeterIsNullAndCapsStayUntouched)
{
    dmm_caps caps { 7, 7 };
    EXPECT_EQ(hid_open(0x1A86, 0xE429, &caps), nullptr);
    EXPECT_EQ(caps.input_len, 7);
    hid_close(nullptr);
}

struct PipePair {
    win32::UniqueFileHandle server;
    win32::UniqueFileHandle client;
};

PipePair makePipe()
{
    const std::wstring name = L"\\\\.\\pipe\\zelmar-hid-test-" + std::to_wstring(GetCurrentProcessId());
    PipePair pair;
    pair.server.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    pair.client.reset(CreateFileW(
        name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    return pair;
}

TEST(HidWin32, TimedTransfersCompleteOrAreCancelled)
{
    PipePair pipe = makePipe();
    ASSERT_TRUE(pipe.server);
    ASSERT_TRUE(pipe.client);

    // Nothing to read: the read is cancelled after its limit.
    std::uint8_t buffer[64] = {};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(hid_read(pipe.client.get(), buffer, sizeof buffer, 150), -1);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_LT(waited, std::chrono::seconds(3));

    // A write lands on the other end; an answer is read in full.
    const std::uint8_t request[13] = { 0x00, 0x57, 0xAB, 0x00, 0x87, 0x06, 0xAB, 0xCD, 0x01, 0x5E, 0x01, 0xD7, 0x04 };
    EXPECT_EQ(hid_write(pipe.client.get(), request, sizeof request), 13);
    std::uint8_t received[64] = {};
    EXPECT_EQ(hid_read(pipe.server.get(), received, sizeof received, 1000), 13);
    EXPECT_EQ(received[9], 0x5E);

    const std::uint8_t answer[21] = { 0x00, 0x00, 0xAB, 0xCD };
    EXPECT_EQ(hid_write(pipe.server.get(), answer, sizeof answer), 21);
    EXPECT_EQ(hid_read(pipe.client.get(), buffer, sizeof buffer, 1000), 21);
    EXPECT_EQ(buffer[2], 0xAB);

    EXPECT_EQ(hid_read(nullptr, buffer, sizeof buffer, 10), -1);
    EXPECT_EQ(hid_write(nullptr, request, sizeof request), -1);
}

} // namespace
} // namespace zelmar
