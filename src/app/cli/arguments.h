#pragma once

// A small command-line parser: long options with or without a value
// ("--interval 5", "--interval=5", "--simulate" or "--simulate=flags"),
// "-o FILE", and positional arguments.

#include "core/limits.h"

#include <expected>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelmar::cli {

struct OptionSpec {
    std::string name; // "--interval", "-o"
    enum class Value { none, required, optional } value = Value::none;
};

struct ParsedArguments {
    std::map<std::string, std::string> options; // name -> value ("" for flags)
    std::vector<std::string> positionals;

    [[nodiscard]] bool has(const std::string& name) const { return options.contains(name); }
    [[nodiscard]] std::optional<std::string> value(const std::string& name) const;
};

// Fails with the offending argument's description.
[[nodiscard]] std::expected<ParsedArguments, std::string> parseArguments(
    const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

// A whole number within the range, or none.
[[nodiscard]] std::optional<long long> parseWholeNumber(const std::string& text, long long minimum, long long maximum);

// --low and --high: each a number if given, the low one not above the high
// one. Fails with the problem.
[[nodiscard]] std::expected<Limits, std::string> parseLimitOptions(const ParsedArguments& parsed);

} // namespace zelmar::cli
