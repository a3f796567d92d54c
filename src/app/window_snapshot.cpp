#include "app/window_snapshot.h"

#include <cstring>

namespace zelmar {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

} // namespace

std::vector<std::uint8_t> WindowSnapshot::bmpFile(int width, int height, std::span<const std::uint8_t> bottomUpPixels)
{
    const auto imageBytes = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4u;
    std::vector<std::uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + imageBytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, imageBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    const std::size_t n = std::min<std::size_t>(bottomUpPixels.size(), imageBytes);
    out.insert(out.end(), bottomUpPixels.begin(), bottomUpPixels.begin() + static_cast<std::ptrdiff_t>(n));
    out.resize(54 + imageBytes, 0);
    return out;
}

std::optional<int> MenuPreview::chosenMenu(std::string_view selector, int menuCount)
{
    static constexpr std::string_view names[] = { "file", "edit", "view", "help" };
    std::optional<long long> position;
    for (int i = 0; i < 4; ++i) {
        if (selector == names[i])
            position = i;
    }
    if (!position) {
        std::string_view digits = selector;
        bool negative = false;
        if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
            negative = digits.front() == '-';
            digits.remove_prefix(1);
        }
        if (digits.empty() || digits.size() > 9)
            return std::nullopt;
        long long n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            n = n * 10 + (c - '0');
        }
        position = negative ? -n : n;
    }
    if (*position < 0 || *position >= menuCount)
        return std::nullopt;
    return static_cast<int>(*position);
}

MenuPreview::Item MenuPreview::item(std::string_view text, unsigned state)
{
    Item result;
    const auto tab = text.find('\t');
    result.label = std::string(text.substr(0, tab));
    if (tab != std::string_view::npos)
        result.accelerator = std::string(text.substr(tab + 1));
    result.separator = (state & 0x800u) != 0;
    result.checked = (state & 0x8u) != 0;
    result.grayed = (state & 0x3u) != 0;
    result.popup = (state & 0x10u) != 0;
    return result;
}

} // namespace zelmar
