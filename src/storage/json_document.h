#pragma once

// A JSON document read whole. The JSON library stops at a NUL byte as if the
// input ended there, so "{...}\0anything" would read as the object alone:
// a document with a NUL in it is refused instead.

#include <nlohmann/json.hpp>

#include <string_view>

namespace zelmar {

// The parsed document, or a discarded value (is_discarded()) when the text
// is not one JSON value and nothing else.
[[nodiscard]] inline nlohmann::json parseJsonDocument(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
        return nlohmann::json(nlohmann::json::value_t::discarded);
    return nlohmann::json::parse(text, nullptr, false);
}

} // namespace zelmar
