#include "app/version_resource.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "security/signature_service.h"
#include "update/semantic_version.h"

#include <vector>

namespace zelmar {

namespace {

using Bytes = std::span<const std::uint8_t>;

struct Range {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct Node {
    std::string key;
    std::uint16_t type = 0;
    Range value;
    Range children;
    int depth = 0;
};

std::uint16_t u16(Bytes b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(Bytes b, std::size_t at)
{
    return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

std::size_t align4(std::size_t at)
{
    return (at + 3) & ~std::size_t { 3 };
}

// UTF-16 units from `begin`, up to a NUL or `end`, as UTF-8 (invalid
// sequences replaced).
std::string utf16Text(Bytes b, std::size_t begin, std::size_t end)
{
    std::u16string units;
    for (std::size_t i = begin; i + 1 < end; i += 2) {
        const char16_t unit = u16(b, i);
        if (unit == 0)
            break;
        units += unit;
    }
    return text::utf16ToUtf8(units);
}

std::optional<Node> readNode(Bytes b, std::size_t p, std::size_t limit, int depth)
{
    if (depth > VersionResourceParser::maximumDepth || limit > b.size() || p + 6 > limit)
        return std::nullopt;
    const std::size_t length = u16(b, p);
    const std::size_t valueLength = u16(b, p + 2);
    Node node;
    node.type = u16(b, p + 4);
    node.depth = depth;
    if (length < 6 || p + length > limit)
        return std::nullopt;
    const std::size_t end = p + length;
    std::size_t keyEnd = std::string::npos;
    for (std::size_t i = p + 6; i + 1 < end; i += 2) {
        if (u16(b, i) == 0) {
            keyEnd = i;
            break;
        }
    }
    if (keyEnd == std::string::npos)
        return std::nullopt;
    node.key = utf16Text(b, p + 6, keyEnd);
    const std::size_t valueStart = align4(keyEnd + 2);
    const std::size_t valueSize = node.type == 1 ? valueLength * 2 : valueLength;
    if (valueStart > end) {
        node.value = { end, end };
    } else {
        node.value = { valueStart, std::min(valueStart + valueSize, end) };
    }
    node.children = { std::min(align4(node.value.end), end), end };
    return node;
}

std::vector<Node> childrenOf(Bytes b, const Node& parent)
{
    std::vector<Node> children;
    std::size_t at = parent.children.begin;
    while (parent.children.end >= at + 6) {
        auto child = readNode(b, at, parent.children.end, parent.depth + 1);
        if (!child)
            break;
        const std::size_t childEnd = at + u16(b, at);
        const std::size_t next = align4(childEnd);
        children.push_back(std::move(*child));
        if (next <= at)
            break;
        at = next;
    }
    return children;
}

FourPartVersion fourPart(std::uint32_t high, std::uint32_t low)
{
    return { static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high & 0xFFFF),
        static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low & 0xFFFF) };
}

bool allZero(const FourPartVersion& v)
{
    return v.major == 0 && v.minor == 0 && v.patch == 0 && v.revision == 0;
}

std::string threePart(const FourPartVersion& v)
{
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

} // namespace

std::optional<VersionResourceInfo> VersionResourceParser::parse(std::span<const std::uint8_t> b)
{
    auto root = readNode(b, 0, b.size(), 0);
    if (!root || root->key != "VS_VERSION_INFO")
        return std::nullopt;
    VersionResourceInfo info;
    const Range& v = root->value;
    if (root->type == 0 && v.end - v.begin >= 52 && v.begin + 52 <= b.size() && u32(b, v.begin) == 0xFEEF04BD) {
        info.fixedFileVersion = fourPart(u32(b, v.begin + 8), u32(b, v.begin + 12));
        info.fixedProductVersion = fourPart(u32(b, v.begin + 16), u32(b, v.begin + 20));
    }
    for (const Node& child : childrenOf(b, *root)) {
        if (child.key != "StringFileInfo")
            continue;
        for (const Node& table : childrenOf(b, child)) {
            auto& entries = info.stringTables[table.key];
            for (const Node& entry : childrenOf(b, table))
                entries[entry.key] = utf16Text(b, entry.value.begin, entry.value.end);
        }
    }
    return info;
}

std::string_view AppVersionResolver::sourceText(Source source) noexcept
{
    switch (source) {
    case Source::productVersionString:
        return "productVersionString";
    case Source::fixedProductVersion:
        return "fixedProductVersion";
    case Source::fixedFileVersion:
        return "fixedFileVersion";
    }
    return {};
}

std::optional<AppVersionResolver::Resolved> AppVersionResolver::resolve(const VersionResourceInfo& info)
{
    // std::map iterates the tables in ascending key order.
    for (const auto& [key, entries] : info.stringTables) {
        const auto it = entries.find("ProductVersion");
        if (it == entries.end())
            continue;
        const std::string_view candidate = text::trimWhitespace(it->second);
        if (candidate.empty())
            continue;
        if (auto version = SemanticVersion::parse(candidate))
            return Resolved { version->text(), Source::productVersionString };
        break; // an unparsable candidate ends the search among the tables
    }
    if (info.fixedProductVersion && !allZero(*info.fixedProductVersion))
        return Resolved { threePart(*info.fixedProductVersion), Source::fixedProductVersion };
    if (info.fixedFileVersion && !allZero(*info.fixedFileVersion))
        return Resolved { threePart(*info.fixedFileVersion), Source::fixedFileVersion };
    return std::nullopt;
}

std::string displayedVersion(const std::string& version)
{
    return UpdateKeyCatalog::isDevelopmentKey() ? version + " (development build)" : version;
}

void logWhenDevelopmentBuild()
{
    if (UpdateKeyCatalog::isDevelopmentKey())
        log::write(log::Module::app, "警告：此程式以開發用更新金鑰建置（開發版本），不可作為正式版本發行");
}

} // namespace zelmar
