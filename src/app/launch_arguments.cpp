#include "app/launch_arguments.h"

namespace zelmar {

namespace {

bool isSpaceOrBreak(char16_t c)
{
    // White space and line breaks as the platform's trimming knows them.
    switch (c) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case u'\u0085':
    case u'\u00A0':
    case u'\u1680':
    case u'\u2028':
    case u'\u2029':
    case u'\u202F':
    case u'\u205F':
    case u'\u3000':
        return true;
    default:
        return c >= u'\u2000' && c <= u'\u200A';
    }
}

std::u16string_view trim(std::u16string_view s, bool (*strip)(char16_t))
{
    while (!s.empty() && strip(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && strip(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isSlash(char16_t c)
{
    return c == u'\\' || c == u'/';
}

bool isLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isAbsolute(std::u16string_view p)
{
    return (p.size() >= 3 && isLetter(p[0]) && p[1] == u':' && isSlash(p[2]))
        || (p.size() >= 2 && isSlash(p[0]) && isSlash(p[1]));
}

} // namespace

std::u16string LaunchArguments::resolve(std::u16string_view path, std::u16string_view base)
{
    if (isAbsolute(path) || base.empty())
        return std::u16string(path);
    while (!base.empty() && isSlash(base.back()))
        base.remove_suffix(1);
    if (!path.empty() && isSlash(path.front())) {
        // The root of the base directory's drive.
        if (base.size() >= 2 && base.substr(0, 2).find(u':') != std::u16string_view::npos) {
            std::u16string out(base.substr(0, 2));
            for (char16_t c : path)
                out += c == u'/' ? u'\\' : c;
            return out;
        }
        return std::u16string(path);
    }
    if (path.starts_with(u".\\") || path.starts_with(u"./"))
        path.remove_prefix(2);
    return std::u16string(base) + u"\\" + std::u16string(path);
}

std::optional<std::u16string> LaunchArguments::documentPath(
    std::span<const std::u16string> arguments, std::u16string_view currentDirectory)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::u16string_view argument = trim(arguments[i], isSpaceOrBreak);
        argument = trim(argument, [](char16_t c) { return c == u'"'; });
        if (argument.empty() || argument.front() == u'-')
            continue;
        return resolve(argument, currentDirectory);
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> OpenDocumentMessage::encode(std::u16string_view path)
{
    if (path.empty() || path.size() > maximumUnits || path.find(u'\0') != std::u16string_view::npos)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(path.size() * 2);
    for (char16_t unit : path) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::optional<std::u16string> OpenDocumentMessage::decode(std::uint64_t dwData, std::span<const std::uint8_t> bytes)
{
    if (dwData != identifier || bytes.empty() || bytes.size() > 65'535 || bytes.size() % 2 != 0)
        return std::nullopt;
    std::u16string path;
    path.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0)
            return std::nullopt;
        path += unit;
    }
    // Strict UTF-16: every surrogate must be part of a pair.
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t u = path[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= path.size() || path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF)
                return std::nullopt;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        }
    }
    if (trim(path, isSpaceOrBreak).empty())
        return std::nullopt;
    return path;
}

} // namespace zelmar
