#include "meter/dmm_error.h"

#include <algorithm>
#include <array>

namespace zelmar {

std::string DMMError::text() const
{
    switch (kind) {
    case Kind::badResponse: {
        // At most 20 pairs: "XX" plus a separating space each.
        static constexpr char digits[] = "0123456789ABCDEF";
        std::array<char, 60> hex {};
        std::size_t length = 0;
        const std::size_t shown = std::min<std::size_t>(payload.size(), 20);
        for (std::size_t i = 0; i < shown; ++i) {
            if (i > 0)
                hex[length++] = ' ';
            hex[length++] = digits[payload[i] >> 4];
            hex[length++] = digits[payload[i] & 0x0F];
        }
        return std::string("回應格式錯誤: ").append(hex.data(), length);
    }
    case Kind::deviceNotFound:
        return "找不到 DMM-5174K（VID 0x1A86 / PID 0xE429）";
    case Kind::notConnected:
        return "尚未連線";
    case Kind::writeFailed:
        return "HID 寫入失敗";
    case Kind::readTimeout:
        return "讀取逾時";
    }
    return {};
}

} // namespace zelmar
