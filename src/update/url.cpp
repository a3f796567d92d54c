#include "update/url.h"

#include <cctype>

namespace zelmar {

namespace {

bool isHex(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::optional<ParsedUrl> parseUrl(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' || c == '{'
            || c == '|' || c == '}')
            return std::nullopt;
        if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])))
            return std::nullopt;
    }
    ParsedUrl url;
    std::string_view rest = text;
    const auto colon = text.find(':');
    const auto firstDelimiter = text.find_first_of("/?#");
    if (colon != std::string_view::npos && colon > 0
        && (firstDelimiter == std::string_view::npos || colon < firstDelimiter)
        && std::isalpha(static_cast<unsigned char>(text[0]))) {
        const std::string_view scheme = text.substr(0, colon);
        bool valid = true;
        for (char c : scheme)
            valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
        if (valid) {
            url.scheme = lower(scheme);
            rest = text.substr(colon + 1);
        }
    }
    if (rest.starts_with("//")) {
        std::string_view authority = rest.substr(2, rest.find_first_of("/?#", 2) - 2);
        if (const auto at = authority.rfind('@'); at != std::string_view::npos)
            authority.remove_prefix(at + 1);
        if (authority.starts_with("[")) {
            url.host = std::string(authority.substr(0, authority.find(']') + 1));
        } else {
            url.host = lower(authority.substr(0, authority.find(':')));
        }
    }
    return url;
}

bool isHttpUrl(std::string_view text)
{
    const auto url = parseUrl(text);
    return url && (url->scheme == "http" || url->scheme == "https") && !url->host.empty();
}

} // namespace zelmar
