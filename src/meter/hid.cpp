#include "meter/hid.h"

namespace zelmar {

namespace {

class PlatformHidBackend final : public HidBackend {
public:
    HidHandle open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps) override { return hid_open(vid, pid, caps); }
    std::int32_t write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length) override
    {
        return hid_write(handle, buffer, length);
    }
    std::int32_t read(HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) override
    {
        return hid_read(handle, buffer, length, timeoutMs);
    }
    void close(HidHandle handle) override { hid_close(handle); }
};

} // namespace

HidBackend& platformHidBackend()
{
    static PlatformHidBackend backend;
    return backend;
}

} // namespace zelmar
