#pragma once

// The program's own version, read from the version resource of its
// executable (the VS_VERSIONINFO tree), never from a constant in the code.
//
// Every node of the block, little-endian, offsets from the block start:
//   +0  u16 node length (header included, at least 6)
//   +2  u16 value length (UTF-16 units when type is 1, bytes when 0)
//   +4  u16 type
//   +6  key: UTF-16 up to and including a NUL unit
//   value at the next 4-byte boundary; children after it, each 4-aligned
// The root is "VS_VERSION_INFO"; its binary value is VS_FIXEDFILEINFO
// (signature 0xFEEF04BD, file version at +8/+12, product version at
// +16/+20). Its "StringFileInfo" child holds tables such as "040904B0"
// whose entries ("ProductVersion" = "1.2.3") are UTF-16 texts.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelmar {

struct FourPartVersion {
    std::uint16_t major = 0, minor = 0, patch = 0, revision = 0;
    friend bool operator==(const FourPartVersion&, const FourPartVersion&) = default;
};

struct VersionResourceInfo {
    std::optional<FourPartVersion> fixedFileVersion;
    std::optional<FourPartVersion> fixedProductVersion;
    std::map<std::string, std::map<std::string, std::string>> stringTables; // UTF-8
};

namespace VersionResourceParser {
inline constexpr int maximumDepth = 6;
[[nodiscard]] std::optional<VersionResourceInfo> parse(std::span<const std::uint8_t> block);
} // namespace VersionResourceParser

namespace AppVersionResolver {

enum class Source { productVersionString, fixedProductVersion, fixedFileVersion };

[[nodiscard]] std::string_view sourceText(Source source) noexcept;

struct Resolved {
    std::string version;
    Source source;
};

[[nodiscard]] std::optional<Resolved> resolve(const VersionResourceInfo& info);

} // namespace AppVersionResolver

// The running program's version: read and resolved at start-up, with the
// log line that says where it came from; "0.0.0" when nothing is usable.
// On Linux, where executables carry no version resource, the build's version.
[[nodiscard]] std::string loadApplicationVersion();

// The version as shown to people: "1.0.0", or "1.0.0 (development build)"
// when the program trusts the development update key.
[[nodiscard]] std::string displayedVersion(const std::string& version);

// Logs, once per start, that this program is a development build (when it
// is one): its update key's private half is no secret.
void logWhenDevelopmentBuild();

} // namespace zelmar
