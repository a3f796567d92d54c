#include "meter/hid_report_descriptor.h"

#include <algorithm>
#include <map>

namespace zelmar {

namespace {

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

std::uint16_t bytesWithId(std::uint64_t bits)
{
    const std::uint64_t bytes = (bits + 7) / 8 + 1;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
}

} // namespace

std::optional<HidReportLayout> parseReportDescriptor(ByteView d)
{
    Globals globals;
    std::vector<Globals> stack;
    std::map<std::uint32_t, std::uint64_t> inputBits;
    std::map<std::uint32_t, std::uint64_t> outputBits;
    HidReportLayout layout;

    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == 0xFE) { // long item: skip it whole
            if (i + 2 >= d.size())
                return std::nullopt;
            const std::size_t size = d[i + 1];
            if (i + 3 + size > d.size())
                return std::nullopt;
            i += 3 + size;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > d.size())
            return std::nullopt;
        std::uint32_t data = 0;
        for (std::size_t k = 0; k < size; ++k)
            data |= std::uint32_t { d[i + 1 + k] } << (8 * k);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        i += 1 + size;

        if (type == 1) {
            switch (tag) {
            case 7:
                globals.reportSize = data;
                break;
            case 8:
                globals.reportId = data;
                layout.usesReportIds = true;
                break;
            case 9:
                globals.reportCount = data;
                break;
            case 10:
                stack.push_back(globals);
                break;
            case 11:
                if (stack.empty())
                    return std::nullopt;
                globals = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == 0 && (tag == 8 || tag == 9)) {
            auto& bits = tag == 8 ? inputBits : outputBits;
            bits[globals.reportId] += std::uint64_t { globals.reportSize } * globals.reportCount;
        }
    }

    for (const auto& [id, bits] : inputBits)
        layout.inputLength = std::max(layout.inputLength, bytesWithId(bits));
    for (const auto& [id, bits] : outputBits)
        layout.outputLength = std::max(layout.outputLength, bytesWithId(bits));
    return layout;
}

} // namespace zelmar
