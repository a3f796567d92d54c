#include "app/cli/arguments.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace zelmar::cli {

std::optional<std::string> ParsedArguments::value(const std::string& name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

std::expected<ParsedArguments, std::string> parseArguments(
    const std::vector<std::string>& args, const std::vector<OptionSpec>& specs)
{
    ParsedArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const auto& s : specs)
            if (s.name == name)
                spec = &s;
        if (spec == nullptr)
            return std::unexpected("unknown option " + name);
        if (parsed.options.contains(name))
            return std::unexpected("option " + name + " given twice");
        if (equals != std::string::npos) {
            if (spec->value == OptionSpec::Value::none)
                return std::unexpected("option " + name + " takes no value");
            parsed.options[name] = arg.substr(equals + 1);
        } else if (spec->value == OptionSpec::Value::required) {
            // "--save --csv x" is a missing value, not a file named "--csv".
            if (i + 1 >= args.size() || (args[i + 1].size() > 1 && args[i + 1][0] == '-'))
                return std::unexpected("option " + name + " needs a value");
            parsed.options[name] = args[++i];
        } else {
            parsed.options[name] = "";
        }
    }
    return parsed;
}

std::optional<long long> parseWholeNumber(const std::string& text, long long minimum, long long maximum)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc {} || end != text.data() + text.size() || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

std::expected<Limits, std::string> parseLimitOptions(const ParsedArguments& parsed)
{
    Limits limits;
    for (auto [name, limit] : { std::pair { "--low", &limits.low }, std::pair { "--high", &limits.high } }) {
        if (auto v = parsed.value(name)) {
            char* end = nullptr;
            const double value = std::strtod(v->c_str(), &end);
            if (v->empty() || end != v->c_str() + v->size() || !std::isfinite(value))
                return std::unexpected(std::string(name) + " takes a number");
            *limit = value;
        }
    }
    if (limits.low && limits.high && *limits.low > *limits.high)
        return std::unexpected("--low must not be above --high");
    return limits;
}

} // namespace zelmar::cli
