#pragma once

// The HID transport: four primitives that find the meter by its USB IDs,
// open it, and move one report in or out under a time limit. They return
// plain handles and byte counts and never raise errors:
//   hid_open   a handle, or null when no interface matches
//   hid_write  bytes written, or -1 (the limit is fixed at 1000 ms)
//   hid_read   bytes read, or -1 on failure or time-out
//   hid_close  closes a non-null handle; null is ignored
// Reports carry the report-ID byte at offset 0 in both directions.
//
// HidBackend is the same four operations as a table, so the device object
// can run over the platform's HID stack or over the meter simulator.

#include <cstdint>

namespace zelmar {

struct dmm_caps {
    std::uint16_t input_len = 0; // input report length, report-ID byte included
    std::uint16_t output_len = 0; // output report length, report-ID byte included
};

using HidHandle = void*;

inline constexpr std::uint32_t hidWriteTimeoutMs = 1000;

// The platform's primitives (hid_win32.cpp or hid_linux.cpp).
[[nodiscard]] HidHandle hid_open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps);
[[nodiscard]] std::int32_t hid_write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length);
[[nodiscard]] std::int32_t hid_read(
    HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs);
void hid_close(HidHandle handle);

class HidBackend {
public:
    virtual ~HidBackend() = default;
    [[nodiscard]] virtual HidHandle open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps) = 0;
    [[nodiscard]] virtual std::int32_t write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length) = 0;
    [[nodiscard]] virtual std::int32_t read(
        HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
        = 0;
    virtual void close(HidHandle handle) = 0;
};

// The platform's primitives as a backend; one shared stateless instance.
[[nodiscard]] HidBackend& platformHidBackend();

} // namespace zelmar
