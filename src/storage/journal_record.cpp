#include "storage/journal_record.h"
#include "storage/json_document.h"
#include "storage/json_scan.h"
#include "storage/json_write.h"
#include "storage/timestamp.h"

#include "core/units.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace zelmar {

JournalRecord JournalRecord::from(const Reading& reading)
{
    return JournalRecord { reading.timestamp(), reading.function().code(), reading.rangeIndex(), reading.text(),
        reading.value(), reading.unit() };
}

namespace {

void appendInteger(std::string& out, std::int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

} // namespace

JournalFields JournalFields::of(const CompactReadings::Record& record) noexcept
{
    return { record.t, record.function, record.range, record.text, DMMValueParser::parse(record.text),
        DMMUnitTable::unit(record.function, record.range).value_or("") };
}

bool appendCanonicalLine(std::string& out, const JournalFields& record, int offsetSeconds)
{
    TimestampWriter times;
    return appendCanonicalLine(out, record, offsetSeconds, times);
}

namespace {

// Everything of a canonical line after its time, from the quote that ends
// the time to the LF.
void appendLineTail(std::string& out, const JournalFields& record)
{
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
}

} // namespace

bool appendCanonicalLine(std::string& out, const JournalFields& record, int offsetSeconds, TimestampWriter& times)
{
    const std::size_t start = out.size();
    out += "{\"t\":\"";
    if (!times.append(out, record.t, offsetSeconds)) {
        out.resize(start);
        return false;
    }
    appendLineTail(out, record);
    return true;
}

StoredLineWriter::StoredLineWriter(int offsetSeconds)
    : offset_(offsetSeconds)
{
}

bool StoredLineWriter::append(std::string& out, const CompactReadings::Record& record)
{
    const std::size_t start = out.size();
    out += "{\"t\":\"";
    if (!times_.append(out, record.t, offset_)) {
        out.resize(start);
        return false;
    }
    if (const std::string* tail = tails_.find(record)) {
        out += *tail;
        return true;
    }
    const std::size_t tail = out.size();
    appendLineTail(out, JournalFields::of(record));
    tails_.keep(std::string_view(out).substr(tail));
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

// The fast parser takes a value only where the general decoder would read
// the same value; anything else (escapes, whitespace, unusual numbers) is
// left to the general decoder, so both always agree.

// A quoted string starting at line[i], its content unchecked; i moves past it.
bool quoted(std::string_view line, std::size_t& i, std::string_view& out) noexcept
{
    if (i >= line.size() || line[i] != '"')
        return false;
    const std::size_t start = i + 1;
    const auto* close = static_cast<const char*>(std::memchr(line.data() + start, '"', line.size() - start));
    if (close == nullptr)
        return false;
    out = line.substr(start, static_cast<std::size_t>(close - line.data()) - start);
    i = start + out.size() + 1;
    return true;
}

// A quoted string without escapes starting at line[i]; i moves past it.
bool fastString(std::string_view line, std::size_t& i, std::string_view& out) noexcept
{
    if (!quoted(line, i, out))
        return false;
    // Plain ASCII, as nearly every text here is, is checked in one sweep;
    // anything else by the full check.
    unsigned special = 0;
    for (const char c : out) {
        const auto u = static_cast<unsigned char>(c);
        special |= static_cast<unsigned>(u < 0x20 || u == '\\' || u >= 0x80);
    }
    return special == 0 || JsonScan::isPlainStringContent(out);
}

template <typename Int> bool fastInteger(std::string_view line, std::size_t& i, Int& out) noexcept
{
    bool integer = false;
    const std::size_t length = JsonScan::numberLength(line, i, integer);
    if (length == 0 || !integer)
        return false;
    const char* begin = line.data() + i;
    const bool negative = *begin == '-';
    if (length - (negative ? 1 : 0) <= 18 && !(negative && std::is_unsigned_v<Int>)) {
        // Eighteen digits fit any 64-bit integer; the grammar is checked.
        std::int64_t value = 0;
        for (const char* p = begin + (negative ? 1 : 0); p < begin + length; ++p)
            value = value * 10 + (*p - '0');
        value = negative ? -value : value;
        if (value < static_cast<std::int64_t>(std::numeric_limits<Int>::min())
            || (value > 0 && static_cast<std::uint64_t>(value) > std::numeric_limits<Int>::max()))
            return false;
        out = static_cast<Int>(value);
        i += length;
        return true;
    }
    const auto result = std::from_chars(begin, begin + length, out);
    if (result.ec != std::errc {} || result.ptr != begin + length)
        return false;
    i += length;
    return true;
}

bool fastNumber(std::string_view line, std::size_t& i, double& out, bool convert) noexcept
{
    bool integer = false;
    const std::size_t length = JsonScan::numberLength(line, i, integer);
    if (length == 0)
        return false;
    const char* begin = line.data() + i;
    // Without an exponent and with fewer than 300 digits a number is finite
    // to any decoder: only its value, not needed, would take a conversion.
    if (!convert && length < 300 && std::memchr(begin, 'e', length) == nullptr
        && std::memchr(begin, 'E', length) == nullptr) {
        out = 0;
        i += length;
        return true;
    }
    const auto result = std::from_chars(begin, begin + length, out);
    if (result.ec != std::errc {} || result.ptr != begin + length || !std::isfinite(out))
        return false;
    if (integer && out == 0)
        out = 0.0; // "-0" is the integer zero to a JSON decoder
    i += length;
    return true;
}

} // namespace

std::optional<JournalRecord> parseJournalLineGeneral(std::string_view line)
{
    const auto json = parseJsonDocument(line);
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

std::optional<JournalRecord> parseJournalLineFast(std::string_view line)
{
    JournalFields fields;
    if (!parseJournalFieldsFast(line, fields))
        return std::nullopt;
    return JournalRecord { fields.t, fields.f, fields.r, std::string(fields.x), fields.v, std::string(fields.u) };
}

bool parseJournalFieldsFast(std::string_view line, JournalFields& out) noexcept
{
    return JournalLineReader().fast(line, out);
}

bool JournalLineReader::fast(std::string_view line, JournalFields& record) noexcept
{
    if (line.size() < 2 || line.front() != '{' || line.back() != '}')
        return false;
    unsigned seen = 0;
    std::size_t i = 1;
    const std::size_t last = line.size() - 1;
    while (i < last) {
        if (seen != 0) {
            if (line[i] != ',')
                return false;
            ++i;
        }
        if (i + 4 > last || line[i] != '"' || line[i + 2] != '"' || line[i + 3] != ':')
            return false;
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
            return false;
        }
        if ((seen & bit) != 0)
            return false;
        seen |= bit;
        std::string_view text;
        switch (key) {
        case 't': {
            // A text the timestamp reader accepts is plain ASCII already.
            if (!quoted(line, i, text))
                return false;
            const auto instant = times_.read(text);
            if (!instant)
                return false;
            record.t = *instant;
            break;
        }
        case 'f': {
            unsigned value = 0;
            if (!fastInteger(line, i, value) || value > 255)
                return false;
            record.f = static_cast<std::uint8_t>(value);
            break;
        }
        case 'r':
            if (!fastInteger(line, i, record.r))
                return false;
            break;
        case 'x':
            if (!fastString(line, i, text))
                return false;
            record.x = text;
            break;
        case 'u':
            if (!fastString(line, i, text))
                return false;
            record.u = text;
            break;
        case 'v': {
            double value = 0;
            if (!fastNumber(line, i, value, values_))
                return false;
            record.v = value;
            break;
        }
        }
    }
    constexpr unsigned required = 0b101111; // t f r x u (bit k is the k-th of "tfrxvu")
    if (i != last || (seen & required) != required)
        return false;
    return true;
}

std::optional<JournalRecord> parseJournalLine(std::string_view line)
{
    if (auto record = parseJournalLineFast(line))
        return record;
    return parseJournalLineGeneral(line);
}

} // namespace zelmar
