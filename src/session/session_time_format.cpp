#include "session/session_time_format.h"
#include "storage/timestamp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelmar::SessionTimeFormat {

namespace {

int processOffset()
{
    // Read once per run; a daylight-saving change during a run is not followed.
    static const int offset = LocalTimeZone::currentOffsetSeconds();
    return offset;
}

// Times beyond what whole seconds in 64 bits can count (only a damaged or
// hand-edited journal holds them) are shown at the edge of that range
// instead of overflowing.
CivilTime civil(double t, int offsetSeconds)
{
    constexpr double edge = 9e18;
    const double whole = std::isfinite(t) ? std::clamp(std::floor(t), -edge, edge) : 0.0;
    return civilFromSeconds(static_cast<std::int64_t>(whole) + offsetSeconds);
}

} // namespace

void put2(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// Built by hand: an export formats two of these for each of 600,000 rows.
std::string date(double t, int offsetSeconds)
{
    const CivilTime c = civil(t, offsetSeconds);
    std::string text;
    if (c.year >= 0 && c.year <= 9999) {
        put2(text, static_cast<int>(c.year / 100));
        put2(text, static_cast<int>(c.year % 100));
    } else {
        char year[24];
        std::snprintf(year, sizeof year, "%04lld", static_cast<long long>(c.year));
        text = year;
    }
    text += '-';
    put2(text, c.month);
    text += '-';
    put2(text, c.day);
    return text;
}

std::string time(double t, int offsetSeconds)
{
    const CivilTime c = civil(t, offsetSeconds);
    std::string text;
    put2(text, c.hour);
    text += ':';
    put2(text, c.minute);
    text += ':';
    put2(text, c.second);
    return text;
}

std::string defaultFileName(double t, std::string_view extension, int offsetSeconds)
{
    const CivilTime c = civil(t, offsetSeconds);
    char text[48];
    std::snprintf(text, sizeof text, "DMM5174K_%04lld%02d%02d_%02d%02d%02d.", static_cast<long long>(c.year), c.month,
        c.day, c.hour, c.minute, c.second);
    return std::string(text).append(extension);
}

std::string date(double t)
{
    return date(t, processOffset());
}

std::string time(double t)
{
    return time(t, processOffset());
}

std::string dateTime(double t)
{
    return date(t) + " " + time(t);
}

std::string defaultFileName(double t, std::string_view extension)
{
    return defaultFileName(t, extension, processOffset());
}

DateTimeWriter::DateTimeWriter()
    : offset_(processOffset())
{
}

DateTimeWriter::DateTimeWriter(int offsetSeconds)
    : offset_(offsetSeconds)
{
}

void DateTimeWriter::append(std::string& out, double t)
{
    const double whole = std::isfinite(t) ? std::floor(t) : 0.0;
    if (std::fabs(whole) >= 1e14) { // far outside any recording: the plain way
        out += date(t, offset_);
        out += ',';
        out += time(t, offset_);
        return;
    }
    const std::int64_t local = static_cast<std::int64_t>(whole) + offset_;
    if (!haveDay_ || local < dayStart_ || local >= dayStart_ + 86'400) {
        const CivilTime c = civil(t, offset_);
        date_ = date(t, offset_);
        dayStart_ = local - (c.hour * 3600 + c.minute * 60 + c.second);
        haveDay_ = true;
    }
    // ",HH:MM:SS" in one piece: this runs for every row of an export.
    const auto second = static_cast<int>(local - dayStart_);
    char text[9] = { ',', '0', '0', ':', '0', '0', ':', '0', '0' };
    const auto put = [&text](std::size_t at, int value) {
        text[at] = static_cast<char>('0' + value / 10);
        text[at + 1] = static_cast<char>('0' + value % 10);
    };
    put(1, second / 3600);
    put(4, second / 60 % 60);
    put(7, second % 60);
    out += date_;
    out.append(text, sizeof text);
}

} // namespace zelmar::SessionTimeFormat
