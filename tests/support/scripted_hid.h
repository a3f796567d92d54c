#pragma once

// A HID backend that plays a script: each read answers the next queued
// report (or -1 for a queued silence), and every write is recorded.

#include "meter/hid.h"
#include "meter/protocol.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <vector>

namespace zelmar::testing {

class ScriptedHid final : public HidBackend {
public:
    bool present = true;
    dmm_caps caps { 65, 65 };
    bool failWrites = false;
    int opens = 0;
    int closes = 0;
    std::vector<Bytes> writes;
    std::vector<std::uint32_t> readLengths;
    std::vector<std::uint32_t> readTimeouts;
    std::deque<std::optional<Bytes>> reads; // nullopt: silence

    HidHandle open(std::uint16_t vid, std::uint16_t pid, dmm_caps* c) override
    {
        ++opens;
        if (!present || vid != 0x1A86 || pid != 0xE429)
            return nullptr;
        if (c != nullptr)
            *c = caps;
        return this;
    }
    std::int32_t write(HidHandle, const std::uint8_t* buffer, std::uint32_t length) override
    {
        writes.emplace_back(buffer, buffer + length);
        return failWrites ? -1 : static_cast<std::int32_t>(length);
    }
    std::int32_t read(HidHandle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) override
    {
        readLengths.push_back(length);
        readTimeouts.push_back(timeoutMs);
        if (reads.empty())
            return -1;
        auto next = std::move(reads.front());
        reads.pop_front();
        if (!next)
            return -1;
        const std::size_t n = std::min<std::size_t>(next->size(), length);
        std::copy_n(next->begin(), n, buffer);
        return static_cast<std::int32_t>(n);
    }
    void close(HidHandle) override { ++closes; }
};

} // namespace zelmar::testing
