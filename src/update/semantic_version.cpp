#include "update/semantic_version.h"

#include <algorithm>
#include <charconv>

namespace zelmar {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

std::vector<std::string_view> split(std::string_view s, char separator)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const auto at = s.find(separator, start);
        pieces.push_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return pieces;
        start = at + 1;
    }
}

std::optional<std::int64_t> corePiece(std::string_view s)
{
    if (!allDigits(s) || (s.size() > 1 && s[0] == '0'))
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc {} || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

bool validIdentifier(std::string_view s)
{
    if (s.empty())
        return false;
    const bool ok = std::all_of(s.begin(), s.end(),
        [](char c) { return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-'; });
    return ok && !(allDigits(s) && s.size() > 1 && s[0] == '0');
}

std::strong_ordering compareIdentifiers(const std::string& a, const std::string& b)
{
    const bool numericA = allDigits(a);
    const bool numericB = allDigits(b);
    if (numericA && numericB) {
        if (a.size() != b.size())
            return a.size() <=> b.size();
        return a.compare(b) <=> 0;
    }
    if (numericA != numericB)
        return numericA ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.compare(b) <=> 0;
}

} // namespace

std::optional<SemanticVersion> SemanticVersion::parse(std::string_view text)
{
    if (text.empty() || text.size() > 100)
        return std::nullopt;
    const auto dash = text.find('-');
    const std::string_view core = text.substr(0, dash);
    const auto pieces = split(core, '.');
    if (pieces.size() != 3)
        return std::nullopt;
    SemanticVersion version;
    const auto major = corePiece(pieces[0]);
    const auto minor = corePiece(pieces[1]);
    const auto patch = corePiece(pieces[2]);
    if (!major || !minor || !patch)
        return std::nullopt;
    version.major = *major;
    version.minor = *minor;
    version.patch = *patch;
    if (dash != std::string_view::npos) {
        for (std::string_view identifier : split(text.substr(dash + 1), '.')) {
            if (!validIdentifier(identifier))
                return std::nullopt;
            version.prerelease.emplace_back(identifier);
        }
    }
    return version;
}

std::string SemanticVersion::text() const
{
    std::string out = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
    for (std::size_t i = 0; i < prerelease.size(); ++i)
        out += (i == 0 ? "-" : ".") + prerelease[i];
    return out;
}

std::strong_ordering operator<=>(const SemanticVersion& a, const SemanticVersion& b)
{
    if (auto c = a.major <=> b.major; c != 0)
        return c;
    if (auto c = a.minor <=> b.minor; c != 0)
        return c;
    if (auto c = a.patch <=> b.patch; c != 0)
        return c;
    // A pre-release precedes its release; two releases are equal.
    if (a.prerelease.empty() && b.prerelease.empty())
        return std::strong_ordering::equal;
    if (a.prerelease.empty())
        return std::strong_ordering::greater;
    if (b.prerelease.empty())
        return std::strong_ordering::less;
    const std::size_t n = std::min(a.prerelease.size(), b.prerelease.size());
    for (std::size_t i = 0; i < n; ++i)
        if (auto c = compareIdentifiers(a.prerelease[i], b.prerelease[i]); c != 0)
            return c;
    return a.prerelease.size() <=> b.prerelease.size();
}

} // namespace zelmar
