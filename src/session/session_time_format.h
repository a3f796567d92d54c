#pragma once

// Local-time texts for the table, the chart, CSV rows, the recovery question
// and default file names. The UTC offset is read once, at the first use in
// the process, and kept for the rest of the run.

#include <cstdint>
#include <string>
#include <string_view>

namespace zelmar::SessionTimeFormat {

[[nodiscard]] std::string date(double t); // 2024-07-03
[[nodiscard]] std::string time(double t); // 14:05:09
[[nodiscard]] std::string dateTime(double t); // 2024-07-03 14:05:09
// DMM5174K_20240703_140509.zmd
[[nodiscard]] std::string defaultFileName(double t, std::string_view extension);

// The same texts for an explicit offset (for tests).
[[nodiscard]] std::string date(double t, int offsetSeconds);
[[nodiscard]] std::string time(double t, int offsetSeconds);
[[nodiscard]] std::string defaultFileName(double t, std::string_view extension, int offsetSeconds);

// date(t) + "," + time(t) for many instants in a row, as CSV rows hold
// them: the date is made again only when the day changes.
class DateTimeWriter {
public:
    DateTimeWriter(); // the run's offset
    explicit DateTimeWriter(int offsetSeconds);
    void append(std::string& out, double t);

private:
    int offset_;
    std::int64_t dayStart_ = 0; // local seconds of the kept date's midnight
    bool haveDay_ = false;
    std::string date_;
};

} // namespace zelmar::SessionTimeFormat
