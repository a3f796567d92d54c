#pragma once

// JournalRecord: the compact record form of the journal and of the records
// array of a measurement file. One record is one JSON object:
//
//   {"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"12.345","v":12.345,"u":"V"}
//
// t  time, local civil time with offset, whole seconds
// f  function code byte (0..255)
// r  range index
// x  display text
// v  numeric value; absent (or null) when the reading has none
// u  unit text
//
// The canonical line has exactly this layout: members in this order, no
// spaces, strings escaped byte by byte (see json_write.h), `v` left out
// when absent or not finite, then LF. Readers accept any JSON object with
// these members, in any order, with whitespace, null `v` and other members.

#include "core/compact_readings.h"
#include "core/reading.h"
#include "storage/timestamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

struct JournalRecord {
    double t = 0;
    std::uint8_t f = 0;
    std::int64_t r = 0;
    std::string x;
    std::optional<double> v;
    std::string u;

    [[nodiscard]] static JournalRecord from(const Reading& reading);

    friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

// A record's fields as views: what a parser finds in a line before anything
// is copied, or what a stored record gives when it is written.
struct JournalFields {
    double t = 0;
    std::uint8_t f = 0;
    std::int64_t r = 0;
    std::string_view x;
    std::optional<double> v;
    std::string_view u;

    [[nodiscard]] static JournalFields of(const JournalRecord& record) noexcept
    {
        return { record.t, record.f, record.r, record.x, record.v, record.u };
    }
    // A stored record written as its reading would be: value and unit
    // worked out from its text, function and range.
    [[nodiscard]] static JournalFields of(const CompactReadings::Record& record) noexcept;
};

// Appends the canonical line with its LF, or returns false (appending
// nothing) when the timestamp has no canonical text.
[[nodiscard]] bool appendCanonicalLine(std::string& out, const JournalFields& record, int offsetSeconds);
[[nodiscard]] inline bool appendCanonicalLine(std::string& out, const JournalRecord& record, int offsetSeconds)
{
    return appendCanonicalLine(out, JournalFields::of(record), offsetSeconds);
}
// The same for many records in a row (a save, a journal rewrite).
[[nodiscard]] bool appendCanonicalLine(
    std::string& out, const JournalFields& record, int offsetSeconds, TimestampWriter& times);

// The general encoder's line for one record, with its LF: valid JSON with
// the general timestamp text. None when `t` or `v` is not finite.
[[nodiscard]] std::optional<std::string> generalLine(const JournalRecord& record, int offsetSeconds);

// Parses one line (without its LF): the fast parser for the canonical shape
// first, then the general JSON decoder. None when the line is not accepted.
[[nodiscard]] std::optional<JournalRecord> parseJournalLine(std::string_view line);

// Each parser alone (for tests and benchmarks). The fast one accepts the
// canonical shape only, and only where the general one reads the same record.
[[nodiscard]] std::optional<JournalRecord> parseJournalLineFast(std::string_view line);
// The fast parser's fields, viewing the line (nothing copied); false when
// the line is left to the general parser.
[[nodiscard]] bool parseJournalFieldsFast(std::string_view line, JournalFields& out) noexcept;

// Canonical lines of stored records, many in a row (a save, a journal
// rewrite): what follows the time depends only on function, range and text,
// of which a recording repeats few, so each such tail is formatted once and
// copied after. Writes exactly what appendCanonicalLine writes for
// JournalFields::of(record).
class StoredLineWriter {
public:
    explicit StoredLineWriter(int offsetSeconds);
    [[nodiscard]] bool append(std::string& out, const CompactReadings::Record& record);

private:
    int offset_;
    TimestampWriter times_;
    RecordTextMemo tails_;
};

// The fast parser for many lines in a row (a journal, a file's records):
// timestamps through one TimestampReader. Without values, a line's `v` is
// checked as the decoder would read it but not converted (it is then 0):
// the stored form works it out from the text.
class JournalLineReader {
public:
    explicit JournalLineReader(bool values = true)
        : values_(values)
    {
    }
    [[nodiscard]] bool fast(std::string_view line, JournalFields& out) noexcept;

private:
    TimestampReader times_;
    bool values_;
};
[[nodiscard]] std::optional<JournalRecord> parseJournalLineGeneral(std::string_view line);

} // namespace zelmar
