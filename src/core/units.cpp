#include "core/units.h"
#include "core/text_encoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace zelmar {

namespace {

constexpr std::string_view kOhm = "\u03A9";
constexpr std::string_view kKiloOhm = "k\u03A9";
constexpr std::string_view kMegaOhm = "M\u03A9";
constexpr std::string_view kMicroF = "\u00B5F";

constexpr std::array<std::string_view, 7> kHertzRanges { "Hz", "Hz", "kHz", "kHz", "kHz", "MHz", "MHz" };
constexpr std::array<std::string_view, 6> kOhmRanges { kOhm, kKiloOhm, kKiloOhm, kKiloOhm, kMegaOhm, kMegaOhm };
constexpr std::array<std::string_view, 8> kCapacitanceRanges { "nF", "nF", "nF", kMicroF, kMicroF, kMicroF, "mF",
    "mF" };

template <std::size_t N>
std::optional<std::string_view> byRange(const std::array<std::string_view, N>& units, int range) noexcept
{
    if (range < 0 || static_cast<std::size_t>(range) >= N)
        return std::nullopt;
    return units[static_cast<std::size_t>(range)];
}

// Whether s is a plain decimal number: optional sign, digits with an
// optional point (at least one digit in all), optional exponent with digits.
bool isDecimalNumber(std::string_view s) noexcept
{
    std::size_t i = 0;
    const auto isDigit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (isDigit(i))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (isDigit(i))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (!isDigit(i))
            return false;
        while (isDigit(i))
            ++i;
    }
    return i == s.size();
}

} // namespace

std::optional<std::string_view> DMMUnitTable::unit(std::uint8_t code, int range) noexcept
{
    if (range < 0 || code > 27)
        return std::nullopt;
    switch (code) {
    case 0:
    case 2:
    case 8:
    case 21:
    case 24:
    case 25:
        return "V";
    case 1:
    case 3:
        return "mV";
    case 4:
        return byRange(kHertzRanges, range);
    case 5:
        return "%";
    case 6:
        return byRange(kOhmRanges, range);
    case 7:
        return kOhm;
    case 9:
        return byRange(kCapacitanceRanges, range);
    case 10:
        return "\u00B0C";
    case 11:
        return "\u00B0F";
    case 12:
    case 13:
        return "\u00B5A";
    case 14:
    case 15:
        return "mA";
    case 16:
    case 17:
    case 26:
    case 27:
        return "A";
    case 18:
        return "hFE";
    case 19:
    case 20:
        return "";
    default: // 22, 23: the clamp currents carry no unit of their own.
        return std::nullopt;
    }
}

namespace {

// For an unsigned decimal number out of the double range: whether it is out
// of range because it is tiny (rather than huge). The magnitude's order is
// where its first non-zero digit stands, moved by the exponent; "1" and 400
// zeros with "e-1" is huge, "0.001e-400" tiny.
bool isTinyMagnitude(std::string_view digits) noexcept
{
    const std::size_t e = digits.find_first_of("eE");
    const std::string_view mantissa = digits.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view text = digits.substr(e + 1);
        const bool negative = !text.empty() && text.front() == '-';
        if (!text.empty() && (text.front() == '-' || text.front() == '+'))
            text.remove_prefix(1);
        if (std::from_chars(text.data(), text.data() + text.size(), exponent).ec != std::errc {})
            exponent = 1'000'000'000; // beyond any digit count that matters
        // Beyond a billion nothing changes the answer; held there, the sum
        // below cannot overflow.
        exponent = std::min(exponent, 1'000'000'000LL);
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return true; // all zeros
    // Digits before the point counted from the first non-zero one; after the
    // point, minus the zeros that precede it.
    const long long order
        = first < point ? static_cast<long long>(point - first) : -static_cast<long long>(first - point - 1);
    return order + exponent <= 0;
}

} // namespace

std::optional<double> DMMValueParser::parse(std::string_view text) noexcept
{
    const std::string_view trimmed = text::trimHorizontalSpace(text);
    if (trimmed.empty())
        return std::nullopt;
    for (std::size_t i = 0; i + 1 < trimmed.size(); ++i) {
        const char a = trimmed[i];
        const char b = trimmed[i + 1];
        if ((a == 'O' || a == 'o') && (b == 'L' || b == 'l'))
            return std::nullopt;
    }
    // The meter shows decimal numbers only; from_chars is locale-free, but it
    // also takes "inf", "nan" and forms we must refuse, hence the check first.
    if (!isDecimalNumber(trimmed))
        return std::nullopt;
    std::string_view digits = trimmed;
    bool negative = false;
    if (digits.front() == '+' || digits.front() == '-') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (end != digits.data() + digits.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Too small to represent reads as zero, as any standard conversion
        // gives; too large has no finite value.
        if (!isTinyMagnitude(digits))
            return std::nullopt;
        value = 0.0;
    } else if (error != std::errc {} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

} // namespace zelmar
