#include "storage/journal_record.h"
#include "storage/timestamp.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstring>

namespace zelmar {

JournalRecord JournalRecord::from(const Reading& reading)
{
    return JournalRecord { reading.timestamp(), reading.function().code(), reading.rangeIndex(), reading.text(),
        reading.value(), reading.unit() };
}

void appendJsonString(std::string& out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case 0x08:
            out += "\\b";
            break;
        case 0x09:
            out += "\\t";
            break;
        case 0x0A:
            out += "\\n";
            break;
        case 0x0C:
            out += "\\f";
            break;
        case 0x0D:
            out += "\\r";
            break;
        default:
            if (b < 0x20) {
                out += "\\u00";
                out += hex[b >> 4];
                out += hex[b & 0x0F];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void appendJsonNumber(std::string& out, double value)
{
    // The shortest round-trip digits come from to_chars in scientific form;
    // the layout (fixed or exponent) is ours.
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const auto e = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exponent);
    char digitBuffer[24];
    std::size_t count = 0;
    for (const char c : sci.substr(0, e))
        if (c != '.')
            digitBuffer[count++] = c;
    const std::string_view digits(digitBuffer, count);

    if (value != 0 && (exponent < -4 || exponent >= 16)) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits.substr(1));
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
        out += exp;
        return;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits);
        return;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out.append(digits);
        out.append(integerDigits - digits.size(), '0');
        out += ".0";
    } else {
        out.append(digits.substr(0, integerDigits));
        out += '.';
        out.append(digits.substr(integerDigits));
    }
}

namespace {

void appendInteger(std::string& out, std::int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

} // namespace

bool appendCanonicalLine(std::string& out, const JournalRecord& record, int offsetSeconds)
{
    const std::size_t start = out.size();
    out += "{\"t\":\"";
    if (!appendCanonicalTimestamp(out, record.t, offsetSeconds)) {
        out.resize(start);
        return false;
    }
    out += "\",\"f\":";
    appendInteger(out, record.f);
    out += ",\"r\":";
    appendInteger(out, record.r);
    out += ",\"x\":";
    appendJsonString(out, record.x);
    if (record.v && std::isfinite(*record.v)) {
        out += ",\"v\":";
        appendJsonNumber(out, *record.v);
    }
    out += ",\"u\":";
    appendJsonString(out, record.u);
    out += "}\n";
    return true;
}

std::optional<std::string> generalLine(const JournalRecord& record, int offsetSeconds)
{
    const auto timestamp = generalTimestamp(record.t, offsetSeconds);
    if (!timestamp || (record.v && !std::isfinite(*record.v)))
        return std::nullopt;
    nlohmann::ordered_json json;
    json["t"] = *timestamp;
    json["f"] = record.f;
    json["r"] = record.r;
    json["x"] = record.x;
    if (record.v)
        json["v"] = *record.v;
    json["u"] = record.u;
    // Replacement keeps a text with broken UTF-8 writable instead of failing.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

namespace {

// A quoted string without backslashes starting at line[i]; i moves past it.
bool fastString(std::string_view line, std::size_t& i, std::string_view& out) noexcept
{
    if (i >= line.size() || line[i] != '"')
        return false;
    const std::size_t start = ++i;
    while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\')
            return false;
        ++i;
    }
    if (i >= line.size())
        return false;
    out = line.substr(start, i - start);
    ++i;
    return true;
}

template <typename Int> bool fastInteger(std::string_view line, std::size_t& i, Int& out) noexcept
{
    const char* begin = line.data() + i;
    const char* end = line.data() + line.size();
    if (begin == end || (*begin != '-' && (*begin < '0' || *begin > '9')))
        return false;
    const auto result = std::from_chars(begin, end, out);
    if (result.ec != std::errc {})
        return false;
    i += static_cast<std::size_t>(result.ptr - begin);
    return true;
}

bool fastNumber(std::string_view line, std::size_t& i, double& out) noexcept
{
    const std::size_t start = i;
    const auto numberByte
        = [](char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'; };
    while (i < line.size() && numberByte(line[i]))
        ++i;
    if (i == start)
        return false;
    std::string_view text = line.substr(start, i - start);
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    if (result.ec != std::errc {} || result.ptr != text.data() + text.size() || !std::isfinite(out))
        return false;
    if (negative)
        out = -out;
    return true;
}

std::optional<JournalRecord> generalParse(std::string_view line)
{
    const auto json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto t = json.find("t");
    const auto f = json.find("f");
    const auto r = json.find("r");
    const auto x = json.find("x");
    const auto u = json.find("u");
    const auto v = json.find("v");
    const auto end = json.end();
    if (t == end || !t->is_string() || f == end || !f->is_number_integer() || r == end || !r->is_number_integer()
        || x == end || !x->is_string() || u == end || !u->is_string())
        return std::nullopt;
    JournalRecord record;
    const auto instant = parseTimestamp(t->get_ref<const std::string&>());
    if (!instant)
        return std::nullopt;
    record.t = *instant;
    if (f->is_number_unsigned() ? f->get<std::uint64_t>() > 255
                                : (f->get<std::int64_t>() < 0 || f->get<std::int64_t>() > 255))
        return std::nullopt;
    record.f = static_cast<std::uint8_t>(f->get<std::int64_t>());
    if (r->is_number_unsigned() && r->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    record.r = r->get<std::int64_t>();
    record.x = x->get<std::string>();
    record.u = u->get<std::string>();
    if (v != end && !v->is_null()) {
        if (!v->is_number())
            return std::nullopt;
        record.v = v->get<double>();
    }
    return record;
}

} // namespace

std::optional<JournalRecord> parseJournalLineFast(std::string_view line)
{
    if (line.size() < 2 || line.front() != '{' || line.back() != '}')
        return std::nullopt;
    JournalRecord record;
    unsigned seen = 0;
    std::size_t i = 1;
    const std::size_t last = line.size() - 1;
    while (i < last) {
        if (seen != 0) {
            if (line[i] != ',')
                return std::nullopt;
            ++i;
        }
        if (i + 4 > last || line[i] != '"' || line[i + 2] != '"' || line[i + 3] != ':')
            return std::nullopt;
        const char key = line[i + 1];
        i += 4;
        unsigned bit;
        switch (key) {
        case 't':
            bit = 1u << 0;
            break;
        case 'f':
            bit = 1u << 1;
            break;
        case 'r':
            bit = 1u << 2;
            break;
        case 'x':
            bit = 1u << 3;
            break;
        case 'v':
            bit = 1u << 4;
            break;
        case 'u':
            bit = 1u << 5;
            break;
        default:
            return std::nullopt;
        }
        if ((seen & bit) != 0)
            return std::nullopt;
        seen |= bit;
        std::string_view text;
        switch (key) {
        case 't': {
            if (!fastString(line, i, text))
                return std::nullopt;
            const auto instant = parseTimestamp(text);
            if (!instant)
                return std::nullopt;
            record.t = *instant;
            break;
        }
        case 'f': {
            unsigned value = 0;
            if (!fastInteger(line, i, value) || value > 255)
                return std::nullopt;
            record.f = static_cast<std::uint8_t>(value);
            break;
        }
        case 'r':
            if (!fastInteger(line, i, record.r))
                return std::nullopt;
            break;
        case 'x':
            if (!fastString(line, i, text))
                return std::nullopt;
            record.x = text;
            break;
        case 'u':
            if (!fastString(line, i, text))
                return std::nullopt;
            record.u = text;
            break;
        case 'v': {
            double value = 0;
            if (!fastNumber(line, i, value))
                return std::nullopt;
            record.v = value;
            break;
        }
        }
    }
    constexpr unsigned required = 0b101111; // t f r x u (bit k is the k-th of "tfrxvu")
    if (i != last || (seen & required) != required)
        return std::nullopt;
    return record;
}

std::optional<JournalRecord> parseJournalLine(std::string_view line)
{
    if (auto record = parseJournalLineFast(line))
        return record;
    return generalParse(line);
}

} // namespace zelmar
