#include "storage/json_scan.h"

#include "core/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace zelmar::JsonScan {

bool isSpace(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void skipSpace(std::string_view b, std::size_t& pos, std::size_t end) noexcept
{
    while (pos < end && isSpace(b[pos]))
        ++pos;
}

namespace {

// The four hex digits of a \u escape at pos (just after the 'u').
int escapedUnit(std::string_view b, std::size_t pos, std::size_t end) noexcept
{
    if (end - pos < 4)
        return -1;
    int unit = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = text::hexDigitValue(b[pos + i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

} // namespace

bool skipString(std::string_view b, std::size_t& pos, std::size_t end) noexcept
{
    if (pos >= end || b[pos] != '"')
        return false;
    const std::size_t start = ++pos;
    bool beyondAscii = false;
    // A plain loop: the strings of records are a few bytes long, where a
    // library search costs more than it saves (measured on a 600,000-record
    // file). A string is skipped only when it is one the JSON decoder reads:
    // no raw control characters, known escapes, paired surrogates, UTF-8.
    while (pos < end) {
        const auto c = static_cast<unsigned char>(b[pos]);
        if (c == '"') {
            const std::string_view content = b.substr(start, pos - start);
            ++pos;
            return !beyondAscii || text::isValidUtf8(content);
        }
        if (c < 0x20)
            return false;
        beyondAscii = beyondAscii || c >= 0x80;
        if (c != '\\') {
            ++pos;
            continue;
        }
        if (pos + 1 >= end)
            return false;
        const char escape = b[pos + 1];
        if (escape != 'u') {
            if (escape != '"' && escape != '\\' && escape != '/' && escape != 'b' && escape != 'f' && escape != 'n'
                && escape != 'r' && escape != 't')
                return false;
            pos += 2;
            continue;
        }
        const int unit = escapedUnit(b, pos + 2, end);
        if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
            return false;
        pos += 6;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A high surrogate only with its low one.
            if (end - pos < 6 || b[pos] != '\\' || b[pos + 1] != 'u')
                return false;
            const int low = escapedUnit(b, pos + 2, end);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            pos += 6;
        }
    }
    return false;
}

namespace {

bool skipLiteral(std::string_view b, std::size_t& pos, std::size_t end, std::string_view word) noexcept
{
    if (end - pos < word.size() || b.substr(pos, word.size()) != word)
        return false;
    pos += word.size();
    return true;
}

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

// Whether a number of JSON's grammar reads as a finite double: the JSON
// decoder refuses one too large for a double (1e400), and reads one too
// small as zero (1e-400).
bool readsAsFiniteDouble(std::string_view number) noexcept
{
    double value = 0;
    const auto [next, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc())
        return std::isfinite(value);
    if (error != std::errc::result_out_of_range)
        return false;
    // Out of range: the decimal exponent of its first significant digit
    // says which way. Digits and exponent are counted saturating.
    const auto e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t at = e + 1;
        const bool negative = at < number.size() && number[at] == '-';
        if (at < number.size() && (number[at] == '-' || number[at] == '+'))
            ++at;
        for (; at < number.size(); ++at)
            exponent = std::min<long long>(exponent * 10 + (number[at] - '0'), 1'000'000'000);
        exponent = negative ? -exponent : exponent;
    }
    const auto point = mantissa.find('.');
    const std::string_view whole = mantissa.substr(0, point);
    const auto significant = whole.find_first_not_of("-0");
    long long magnitude = 0;
    if (significant != std::string_view::npos) {
        magnitude = static_cast<long long>(whole.size() - significant);
    } else if (point != std::string_view::npos) {
        const auto first = mantissa.find_first_not_of('0', point + 1);
        magnitude = first == std::string_view::npos ? 0 : -static_cast<long long>(first - point - 1);
    }
    return exponent + magnitude <= 0;
}

// A JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? that the
// JSON decoder reads (see readsAsFiniteDouble).
bool skipNumber(std::string_view b, std::size_t& pos, std::size_t end) noexcept
{
    const std::size_t start = pos;
    if (pos < end && b[pos] == '-')
        ++pos;
    if (pos >= end || !isDigit(b[pos]))
        return false;
    if (b[pos] == '0')
        ++pos;
    else
        while (pos < end && isDigit(b[pos]))
            ++pos;
    if (pos < end && b[pos] == '.') {
        ++pos;
        if (pos >= end || !isDigit(b[pos]))
            return false;
        while (pos < end && isDigit(b[pos]))
            ++pos;
    }
    if (pos < end && (b[pos] == 'e' || b[pos] == 'E')) {
        ++pos;
        if (pos < end && (b[pos] == '+' || b[pos] == '-'))
            ++pos;
        if (pos >= end || !isDigit(b[pos]))
            return false;
        while (pos < end && isDigit(b[pos]))
            ++pos;
    }
    // What follows a number is the caller's: a digit or a second point
    // here would be part of no valid document.
    if (pos < end && (isDigit(b[pos]) || b[pos] == '.' || b[pos] == 'e' || b[pos] == 'E' || b[pos] == '+' || b[pos] == '-'))
        return false;
    return readsAsFiniteDouble(b.substr(start, pos - start));
}

} // namespace

bool skipValue(std::string_view b, std::size_t& pos, std::size_t end, int level) noexcept
{
    skipSpace(b, pos, end);
    if (pos >= end || level > maximumNesting)
        return false;
    const char c = b[pos];
    if (c == '{' || c == '[') {
        const char close = c == '{' ? '}' : ']';
        ++pos;
        skipSpace(b, pos, end);
        if (pos < end && b[pos] == close) {
            ++pos;
            return true;
        }
        for (;;) {
            if (c == '{') {
                skipSpace(b, pos, end);
                if (!skipString(b, pos, end))
                    return false;
                skipSpace(b, pos, end);
                if (pos >= end || b[pos] != ':')
                    return false;
                ++pos;
            }
            if (!skipValue(b, pos, end, level + 1))
                return false;
            const AfterMember next = afterItem(b, pos, end, close);
            if (next != AfterMember::another)
                return next == AfterMember::closed;
        }
    }
    if (c == '"')
        return skipString(b, pos, end);
    if (c == 't')
        return skipLiteral(b, pos, end, "true");
    if (c == 'f')
        return skipLiteral(b, pos, end, "false");
    if (c == 'n')
        return skipLiteral(b, pos, end, "null");
    if (c == '-' || isDigit(c))
        return skipNumber(b, pos, end);
    return false;
}

bool readKey(std::string_view b, std::size_t& pos, std::size_t end, std::string_view& key) noexcept
{
    skipSpace(b, pos, end);
    const std::size_t start = pos;
    if (!skipString(b, pos, end))
        return false;
    key = b.substr(start + 1, pos - start - 2);
    skipSpace(b, pos, end);
    if (pos >= end || b[pos] != ':')
        return false;
    ++pos;
    skipSpace(b, pos, end);
    return true;
}

AfterMember afterItem(std::string_view b, std::size_t& pos, std::size_t end, char close) noexcept
{
    skipSpace(b, pos, end);
    if (pos >= end)
        return AfterMember::invalid;
    if (b[pos] == ',') {
        ++pos;
        return AfterMember::another;
    }
    if (b[pos] != close)
        return AfterMember::invalid;
    ++pos;
    return AfterMember::closed;
}

bool parseInteger(std::string_view text, std::int64_t& value) noexcept
{
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    if (i >= text.size())
        return false;
    std::uint64_t magnitude = 0;
    bool saturated = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            saturated = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    constexpr auto maximum = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (negative)
        value = saturated || magnitude > maximum + 1 ? std::numeric_limits<std::int64_t>::min()
            : magnitude == maximum + 1               ? std::numeric_limits<std::int64_t>::min()
                                                     : -static_cast<std::int64_t>(magnitude);
    else
        value = saturated || magnitude > maximum ? std::numeric_limits<std::int64_t>::max()
                                                 : static_cast<std::int64_t>(magnitude);
    return true;
}

bool isPlainStringContent(std::string_view content) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(content.data());
    const auto* const end = p + content.size();
    const auto continuation = [&](const unsigned char* at) { return at < end && (*at & 0xC0) == 0x80; };
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (c < 0x20 || c == '"' || c == '\\')
                return false;
            ++p;
        } else if (c >= 0xC2 && c <= 0xDF) {
            if (!continuation(p + 1))
                return false;
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (!continuation(p + 1) || !continuation(p + 2))
                return false;
            if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F)) // overlong, surrogate
                return false;
            p += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (!continuation(p + 1) || !continuation(p + 2) || !continuation(p + 3))
                return false;
            if ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] > 0x8F)) // overlong, past U+10FFFF
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::size_t numberLength(std::string_view text, std::size_t pos, bool& integer) noexcept
{
    const std::size_t start = pos;
    const std::size_t end = text.size();
    const auto digit = [&](std::size_t at) { return at < end && text[at] >= '0' && text[at] <= '9'; };
    integer = true;
    if (pos < end && text[pos] == '-')
        ++pos;
    if (!digit(pos))
        return 0;
    if (text[pos] == '0') {
        ++pos;
    } else {
        while (digit(pos))
            ++pos;
    }
    if (pos < end && text[pos] == '.') {
        if (!digit(++pos))
            return 0;
        while (digit(pos))
            ++pos;
        integer = false;
    }
    if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < end && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        if (!digit(pos))
            return 0;
        while (digit(pos))
            ++pos;
        integer = false;
    }
    return pos - start;
}

} // namespace zelmar::JsonScan
