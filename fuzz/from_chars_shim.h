#pragma once

// The fuzz build uses clang with libc++ (std::expected needs it), and libc++
// 16 has no floating-point std::from_chars. This stands in for it there and
// only there (scripts/fuzz.sh includes it in every source): strtod on a
// terminated copy, with from_chars's own rules of what may start a number
// (no white space, no '+', no hexadecimal in the general format).

#include <charconv>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 170000
#include <cerrno>
#include <cstdlib>
#include <string>

namespace std {

inline from_chars_result from_chars(
    const char* first, const char* last, double& value, chars_format format = chars_format::general)
{
    const std::string copy(first, last);
    const char* text = copy.c_str();
    const char* digits = text + (!copy.empty() && copy[0] == '-' ? 1 : 0);
    const bool hex = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (copy.empty() || copy[0] == ' ' || copy[0] == '\t' || copy[0] == '\n' || copy[0] == '\r' || copy[0] == '+'
        || (hex && format != chars_format::hex))
        return { first, errc::invalid_argument };
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (end == text)
        return { first, errc::invalid_argument };
    const char* stop = first + (end - text);
    if (errno == ERANGE)
        return { stop, errc::result_out_of_range };
    value = parsed;
    return { stop, errc {} };
}

} // namespace std
#endif
