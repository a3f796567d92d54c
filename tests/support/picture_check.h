#pragma once

// Reading back the pictures the program writes, without an image library:
// a PNG of stored deflate blocks (what the project's encoder writes) with
// every checksum checked, and whether a text is well-formed XML.

#include "ui/png_encode.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::testing {

struct DecodedPng {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB
};

inline std::uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24
        | static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16
        | static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8
        | static_cast<unsigned char>(bytes[at + 3]);
}

// None for anything but an 8-bit RGB PNG whose chunks, blocks and sums are right.
inline std::optional<DecodedPng> decodeStoredPng(const std::string& png)
{
    if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return std::nullopt;
    DecodedPng out;
    std::string zlib;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = bigEndian(png, at);
        if (at + 12 + length > png.size())
            return std::nullopt;
        const std::string_view kind(png.data() + at + 4, 4);
        const auto* body = reinterpret_cast<const std::uint8_t*>(png.data() + at + 4);
        if (ui::crc32({ body, length + 4 }) != bigEndian(png, at + 8 + length))
            return std::nullopt;
        if (kind == "IHDR") {
            out.width = static_cast<int>(bigEndian(png, at + 8));
            out.height = static_cast<int>(bigEndian(png, at + 12));
            if (png[at + 16] != 8 || png[at + 17] != 2)
                return std::nullopt;
        } else if (kind == "IDAT") {
            zlib.append(png, at + 8, length);
        } else if (kind == "IEND") {
            break;
        }
        at += 12 + length;
    }
    // zlib: a header, stored blocks (length, its complement, the bytes), Adler-32.
    std::string raw;
    std::size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > zlib.size() || (zlib[at] & 0x06) != 0)
            return std::nullopt; // only stored blocks
        last = (zlib[at] & 1) != 0;
        const unsigned length = static_cast<unsigned char>(zlib[at + 1]) | static_cast<unsigned char>(zlib[at + 2]) << 8;
        const unsigned complement
            = static_cast<unsigned char>(zlib[at + 3]) | static_cast<unsigned char>(zlib[at + 4]) << 8;
        if ((length ^ 0xFFFF) != complement || at + 5 + length > zlib.size())
            return std::nullopt;
        raw.append(zlib, at + 5, length);
        at += 5 + length;
    }
    if (at + 4 != zlib.size()
        || ui::adler32({ reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size() }) != bigEndian(zlib, at))
        return std::nullopt;
    const std::size_t stride = 1 + 3 * static_cast<std::size_t>(out.width);
    if (out.width <= 0 || out.height <= 0 || raw.size() != stride * static_cast<std::size_t>(out.height))
        return std::nullopt;
    for (int y = 0; y < out.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * stride;
        if (raw[row] != 0)
            return std::nullopt; // the encoder filters nothing
        for (int x = 0; x < out.width; ++x) {
            const std::size_t p = row + 1 + 3 * static_cast<std::size_t>(x);
            out.pixels.push_back(static_cast<std::uint32_t>(static_cast<unsigned char>(raw[p])) << 16
                | static_cast<std::uint32_t>(static_cast<unsigned char>(raw[p + 1])) << 8
                | static_cast<unsigned char>(raw[p + 2]));
        }
    }
    return out;
}

// Well-formed XML as far as the pictures use it: a declaration, elements
// nested properly with quoted attributes, the five named entities and
// numeric ones, nothing after the root. The first problem, or none.
inline std::optional<std::string> xmlProblem(std::string_view xml)
{
    std::vector<std::string> open;
    bool rootClosed = false;
    const auto nameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
    };
    const auto entityAt = [&](std::size_t i) {
        for (const std::string_view e : { "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" })
            if (xml.substr(i, e.size()) == e)
                return true;
        if (xml.substr(i, 2) != "&#")
            return false;
        const auto end = xml.find(';', i);
        return end != std::string_view::npos && end > i + 2 && end < i + 10;
    };
    std::size_t i = 0;
    if (xml.substr(0, 5) == "<?xml") {
        i = xml.find("?>");
        if (i == std::string_view::npos)
            return "an unclosed declaration";
        i += 2;
    }
    while (i < xml.size()) {
        if (xml[i] != '<') {
            if (xml[i] == '&' && !entityAt(i))
                return "a bare & at " + std::to_string(i);
            if (open.empty() && !std::isspace(static_cast<unsigned char>(xml[i])))
                return "text outside the root at " + std::to_string(i);
            ++i;
            continue;
        }
        if (rootClosed)
            return "a second root at " + std::to_string(i);
        const bool closing = i + 1 < xml.size() && xml[i + 1] == '/';
        std::size_t j = i + (closing ? 2 : 1);
        const std::size_t nameStart = j;
        while (j < xml.size() && nameChar(xml[j]))
            ++j;
        if (j == nameStart)
            return "a tag without a name at " + std::to_string(i);
        const std::string name(xml.substr(nameStart, j - nameStart));
        bool selfClosing = false;
        for (;;) {
            while (j < xml.size() && std::isspace(static_cast<unsigned char>(xml[j])))
                ++j;
            if (j >= xml.size())
                return "an unclosed tag " + name;
            if (xml[j] == '>')
                break;
            if (xml[j] == '/' && j + 1 < xml.size() && xml[j + 1] == '>' && !closing) {
                selfClosing = true;
                ++j;
                break;
            }
            if (closing)
                return "an attribute in a closing tag " + name;
            const std::size_t attribute = j;
            while (j < xml.size() && nameChar(xml[j]))
                ++j;
            if (j == attribute || j + 1 >= xml.size() || xml[j] != '=' || xml[j + 1] != '"')
                return "an attribute without a quoted value in " + name;
            const std::size_t valueEnd = xml.find('"', j + 2);
            if (valueEnd == std::string_view::npos)
                return "an unclosed attribute in " + name;
            for (std::size_t k = j + 2; k < valueEnd; ++k) {
                if (xml[k] == '<' || (xml[k] == '&' && !entityAt(k)))
                    return "a raw < or & in an attribute of " + name;
            }
            j = valueEnd + 1;
        }
        if (closing) {
            if (open.empty() || open.back() != name)
                return "</" + name + "> closes nothing open";
            open.pop_back();
            rootClosed = open.empty();
        } else if (!selfClosing) {
            open.push_back(name);
        } else if (open.empty()) {
            rootClosed = true;
        }
        i = j + 1;
    }
    if (!open.empty())
        return "<" + open.back() + "> is never closed";
    if (!rootClosed)
        return "no root element";
    return std::nullopt;
}

} // namespace zelmar::testing
