#include "storage/json_write.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace zelmar {

void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    // Most texts need no escape at all: copied in one piece.
    const auto plain = [](char ch) {
        const auto b = static_cast<unsigned char>(ch);
        return b >= 0x20 && b != '"' && b != '\\';
    };
    if (std::all_of(text.begin(), text.end(), plain)) {
        out += text;
        out += '"';
        return;
    }
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case 0x08:
            out += "\\b";
            break;
        case 0x09:
            out += "\\t";
            break;
        case 0x0A:
            out += "\\n";
            break;
        case 0x0C:
            out += "\\f";
            break;
        case 0x0D:
            out += "\\r";
            break;
        default:
            if (b < 0x20) {
                out += "\\u00";
                out += hex[b >> 4];
                out += hex[b & 0x0F];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void appendJsonNumber(std::string& out, double value)
{
    // The shortest round-trip digits come from to_chars in scientific form;
    // the layout (fixed or exponent) is ours.
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const auto e = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exponent);
    char digitBuffer[24];
    std::size_t count = 0;
    for (const char c : sci.substr(0, e))
        if (c != '.')
            digitBuffer[count++] = c;
    const std::string_view digits(digitBuffer, count);

    if (value != 0 && (exponent < -4 || exponent >= 16)) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits.substr(1));
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
        out += exp;
        return;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits);
        return;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out.append(digits);
        out.append(integerDigits - digits.size(), '0');
        out += ".0";
    } else {
        out.append(digits.substr(0, integerDigits));
        out += '.';
        out.append(digits.substr(integerDigits));
    }
}

} // namespace zelmar
