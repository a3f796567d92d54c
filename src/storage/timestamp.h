#pragma once

// Timestamp texts shared by the journal, the measurement file and the
// settings: local civil time with a numeric UTC offset, whole seconds,
//   2024-05-01T13:45:12+08:00      (a zero offset is +00:00, never Z)
// and reading them back, in the fast form above (or with Z), else as ISO
// 8601 internet date-time with fractional seconds (2024-05-01T13:45:12.250Z).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelmar {

namespace LocalTimeZone {
// The machine's current offset from UTC in seconds, east positive.
[[nodiscard]] int currentOffsetSeconds();
} // namespace LocalTimeZone

struct CivilTime {
    std::int64_t year;
    int month, day, hour, minute, second;
};

// Days since 1970-01-01 for a proleptic Gregorian date, and back.
[[nodiscard]] std::int64_t daysFromCivil(std::int64_t year, int month, int day) noexcept;
[[nodiscard]] CivilTime civilFromSeconds(std::int64_t secondsSinceEpoch) noexcept;

// The 25-character canonical text; none when the instant, offset or year
// lies outside what the canonical form allows (non-finite, |seconds| >=
// 1e14, an offset that is not whole minutes or a day or more, a year
// outside 0..9999).
[[nodiscard]] std::optional<std::string> canonicalTimestamp(double instant, int offsetSeconds);
// The same, appended to `out`; false (nothing appended) when refused.
[[nodiscard]] bool appendCanonicalTimestamp(std::string& out, double instant, int offsetSeconds);
// Whether appendCanonicalTimestamp writes this instant at this offset,
// without writing it.
[[nodiscard]] bool hasCanonicalTimestamp(double instant, int offsetSeconds) noexcept;

// The general encoder's text: the same steps, with the year padded to at
// least four digits (and a sign when negative) instead of refusing. None
// only for non-finite instants.
[[nodiscard]] std::optional<std::string> generalTimestamp(double instant, int offsetSeconds);

// Seconds since 1970 for an accepted text, or none.
[[nodiscard]] std::optional<double> parseTimestamp(std::string_view text) noexcept;
// The fast form alone: whole seconds with Z or a numeric offset.
[[nodiscard]] std::optional<double> parseTimestampFast(std::string_view text) noexcept;

// appendCanonicalTimestamp for many instants in a row, as a save writes
// them: the date of the previous instant is reused while the day and offset
// stay the same. Writes exactly what appendCanonicalTimestamp does.
class TimestampWriter {
public:
    [[nodiscard]] bool append(std::string& out, double instant, int offsetSeconds);

private:
    std::int64_t dayStart_ = 0; // the kept day's midnight, in local seconds
    CivilTime day_ {};
    bool haveDay_ = false;
};

// parseTimestamp for many texts in a row, as a journal or file holds them:
// while the date and offset stay those of the previous canonical text, only
// the time of day is read. Answers exactly what parseTimestamp does.
class TimestampReader {
public:
    [[nodiscard]] std::optional<double> read(std::string_view text) noexcept;

private:
    char day_[17] {}; // the previous text's date (with its T) and offset
    double dayStart_ = 0; // that date's midnight, as an instant
    bool haveDay_ = false;
};

} // namespace zelmar
