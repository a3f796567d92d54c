#include "storage/timestamp.h"

#include <cstring>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zelmar {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) noexcept
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

void put2(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

void format(std::string& text, int offsetSeconds, const CivilTime& c)
{
    // Built by hand: this runs once per record when 600,000 are saved.
    std::int64_t year = c.year;
    if (year < 0) {
        text += '-';
        year = -year;
    }
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, year);
    (void)error;
    text.append(static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, 4 - (end - digits))), '0');
    text.append(digits, end);
    text += '-';
    put2(text, c.month);
    text += '-';
    put2(text, c.day);
    text += 'T';
    put2(text, c.hour);
    text += ':';
    put2(text, c.minute);
    text += ':';
    put2(text, c.second);
    const int magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    text += offsetSeconds < 0 ? '-' : '+';
    put2(text, magnitude / 3600 % 100);
    text += ':';
    put2(text, magnitude / 60 % 60);
}

// The canonical form, years 0 to 9999 only: 25 bytes written at once (this
// runs for each of 600,000 records when a recording is saved).
void formatCanonical(std::string& out, int offsetSeconds, const CivilTime& c)
{
    char text[25];
    const auto put = [&text](std::size_t at, int value) {
        text[at] = static_cast<char>('0' + value / 10 % 10);
        text[at + 1] = static_cast<char>('0' + value % 10);
    };
    put(0, static_cast<int>(c.year / 100));
    put(2, static_cast<int>(c.year % 100));
    text[4] = '-';
    put(5, c.month);
    text[7] = '-';
    put(8, c.day);
    text[10] = 'T';
    put(11, c.hour);
    text[13] = ':';
    put(14, c.minute);
    text[16] = ':';
    put(17, c.second);
    const int magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    text[19] = offsetSeconds < 0 ? '-' : '+';
    put(20, magnitude / 3600 % 100);
    text[22] = ':';
    put(23, magnitude / 60 % 60);
    out.append(text, sizeof text);
}

bool digitsAt(std::string_view s, std::size_t at, std::size_t count, int& value) noexcept
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

struct DateTimeFields {
    int year, month, day, hour, minute, second;
};

// YYYY-MM-DDTHH:MM:SS with the field ranges of the fast form; the letter T
// may be lower case.
bool parseDateTime(std::string_view s, DateTimeFields& f) noexcept
{
    if (s.size() < 19 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != 't') || s[13] != ':' || s[16] != ':')
        return false;
    return digitsAt(s, 0, 4, f.year) && digitsAt(s, 5, 2, f.month) && f.month >= 1 && f.month <= 12
        && digitsAt(s, 8, 2, f.day) && f.day >= 1 && f.day <= 31 && digitsAt(s, 11, 2, f.hour) && f.hour <= 23
        && digitsAt(s, 14, 2, f.minute) && f.minute <= 59 && digitsAt(s, 17, 2, f.second) && f.second <= 60;
}

// Z, z or +HH:MM / -HH:MM filling the rest of the text exactly.
bool parseOffset(std::string_view s, int& offsetSeconds) noexcept
{
    if (s.size() == 1 && (s[0] == 'Z' || s[0] == 'z')) {
        offsetSeconds = 0;
        return true;
    }
    int hours, minutes;
    if (s.size() != 6 || (s[0] != '+' && s[0] != '-') || s[3] != ':' || !digitsAt(s, 1, 2, hours) || hours > 23
        || !digitsAt(s, 4, 2, minutes) || minutes > 59)
        return false;
    offsetSeconds = (hours * 3600 + minutes * 60) * (s[0] == '-' ? -1 : 1);
    return true;
}

double instantOf(const DateTimeFields& f, int offsetSeconds) noexcept
{
    return static_cast<double>(daysFromCivil(f.year, f.month, f.day) * kSecondsPerDay + f.hour * 3600 + f.minute * 60
        + f.second - offsetSeconds);
}

} // namespace

std::int64_t daysFromCivil(std::int64_t y, int m, int d) noexcept
{
    y -= m <= 2;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

CivilTime civilFromSeconds(std::int64_t seconds) noexcept
{
    const std::int64_t days = floorDiv(seconds, kSecondsPerDay);
    const std::int64_t secondOfDay = seconds - days * kSecondsPerDay;
    const std::int64_t z = days + 719'468;
    const std::int64_t era = floorDiv(z, 146'097);
    const std::int64_t doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    return { year, month, day, static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
        static_cast<int>(secondOfDay % 60) };
}

namespace {

// The local second the canonical form shows for an instant at an offset,
// when the form can show any: a finite time of fewer than 1e14 seconds, at a
// whole-minute offset of less than a day. The year is checked apart.
std::optional<std::int64_t> canonicalLocalSeconds(double instant, int offsetSeconds) noexcept
{
    if (!std::isfinite(instant))
        return std::nullopt;
    const double whole = std::floor(instant);
    if (std::fabs(whole) >= 1e14 || offsetSeconds % 60 != 0 || offsetSeconds <= -86'400 || offsetSeconds >= 86'400)
        return std::nullopt;
    return static_cast<std::int64_t>(whole) + offsetSeconds;
}

bool canonicalYear(std::int64_t year) noexcept
{
    return year >= 0 && year <= 9999;
}

} // namespace

bool appendCanonicalTimestamp(std::string& out, double instant, int offsetSeconds)
{
    const auto local = canonicalLocalSeconds(instant, offsetSeconds);
    if (!local)
        return false;
    const CivilTime c = civilFromSeconds(*local);
    if (!canonicalYear(c.year))
        return false;
    formatCanonical(out, offsetSeconds, c);
    return true;
}

bool hasCanonicalTimestamp(double instant, int offsetSeconds) noexcept
{
    // Years 0 to 9999 of local time, in local seconds.
    static const std::int64_t first = daysFromCivil(0, 1, 1) * kSecondsPerDay;
    static const std::int64_t last = daysFromCivil(10'000, 1, 1) * kSecondsPerDay - 1;
    const auto local = canonicalLocalSeconds(instant, offsetSeconds);
    return local && *local >= first && *local <= last;
}

bool TimestampWriter::append(std::string& out, double instant, int offsetSeconds)
{
    const auto local = canonicalLocalSeconds(instant, offsetSeconds);
    if (!local)
        return false;
    if (!haveDay_ || *local < dayStart_ || *local >= dayStart_ + kSecondsPerDay) {
        const CivilTime c = civilFromSeconds(*local);
        if (!canonicalYear(c.year))
            return false;
        day_ = c;
        dayStart_ = *local - (c.hour * 3600 + c.minute * 60 + c.second);
        haveDay_ = true;
    }
    const auto second = static_cast<int>(*local - dayStart_);
    formatCanonical(out, offsetSeconds,
        CivilTime { day_.year, day_.month, day_.day, second / 3600, second / 60 % 60, second % 60 });
    return true;
}

std::optional<std::string> canonicalTimestamp(double instant, int offsetSeconds)
{
    std::string text;
    if (!appendCanonicalTimestamp(text, instant, offsetSeconds))
        return std::nullopt;
    return text;
}

std::optional<std::string> generalTimestamp(double instant, int offsetSeconds)
{
    if (!std::isfinite(instant) || std::fabs(instant) >= 9e18)
        return std::nullopt;
    const auto seconds = static_cast<std::int64_t>(std::floor(instant));
    std::string text;
    format(text, offsetSeconds, civilFromSeconds(seconds + offsetSeconds));
    return text;
}

std::optional<double> parseTimestampFast(std::string_view s) noexcept
{
    DateTimeFields f;
    int offset = 0;
    if ((s.size() == 20 || s.size() == 25) && parseDateTime(s, f) && parseOffset(s.substr(19), offset))
        return instantOf(f, offset);
    return std::nullopt;
}

namespace {

// What the general encoder writes for a year outside 0 to 9999 (a record
// far in the past or future, or near an end of that range in another time
// zone): "-0001-12-31T23:59:00+00:00", "10000-01-01T00:00:00+00:00". Read
// back so that nothing written is lost; 5 to 12 digits, or a minus sign and
// 4 to 12 digits, then the usual fields.
std::optional<double> parseExpandedYear(std::string_view s) noexcept
{
    const bool negative = !s.empty() && s.front() == '-';
    std::size_t end = negative ? 1 : 0;
    std::int64_t year = 0;
    while (end < s.size() && s[end] >= '0' && s[end] <= '9' && end < 13) {
        year = year * 10 + (s[end] - '0');
        ++end;
    }
    const std::size_t digits = end - (negative ? 1 : 0);
    if (digits < (negative ? 4u : 5u) || digits > 12 || end >= s.size() || s[end] != '-')
        return std::nullopt;
    // Only the encoder's own spelling: no zeros before a fifth digit.
    if (digits > 4 && s[negative ? 1 : 0] == '0')
        return std::nullopt;
    // The same fields after the year, checked as the four-digit form would.
    char shifted[40] = "2000";
    const std::string_view rest = s.substr(end);
    if (rest.size() > sizeof shifted - 5)
        return std::nullopt;
    rest.copy(shifted + 4, rest.size());
    const std::string_view fourDigit(shifted, 4 + rest.size());
    DateTimeFields f;
    int offset = 0;
    if (fourDigit.size() != 25 || !parseDateTime(fourDigit, f) || !parseOffset(fourDigit.substr(19), offset))
        return std::nullopt;
    const std::int64_t signedYear = negative ? -year : year;
    // In floating point: twelve-digit years overflow 64-bit seconds.
    return static_cast<double>(daysFromCivil(signedYear, f.month, f.day)) * static_cast<double>(kSecondsPerDay)
        + static_cast<double>(f.hour * 3600 + f.minute * 60 + f.second - offset);
}

} // namespace

std::optional<double> parseTimestamp(std::string_view s) noexcept
{
    DateTimeFields f;
    int offset = 0;
    if (!parseDateTime(s, f))
        return parseExpandedYear(s);
    // Fast form: exactly 20 or 25 bytes.
    if ((s.size() == 20 || s.size() == 25) && parseOffset(s.substr(19), offset))
        return instantOf(f, offset);
    // Internet date-time with fractional seconds: ".digits" before the offset.
    if (s.size() < 22 || s[19] != '.' || s[10] != 'T')
        return std::nullopt;
    std::size_t i = 20;
    double fraction = 0;
    double scale = 0.1;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        fraction += (s[i] - '0') * scale;
        scale /= 10;
        ++i;
    }
    if (i == 20 || !parseOffset(s.substr(i), offset))
        return std::nullopt;
    return instantOf(f, offset) + fraction;
}

std::optional<double> TimestampReader::read(std::string_view s) noexcept
{
    if (s.size() != 25)
        return parseTimestamp(s);
    int hour = 0, minute = 0, second = 0;
    const bool timeOfDay = s[13] == ':' && s[16] == ':' && digitsAt(s, 11, 2, hour) && hour <= 23
        && digitsAt(s, 14, 2, minute) && minute <= 59 && digitsAt(s, 17, 2, second) && second <= 60;
    if (haveDay_ && timeOfDay && s.compare(0, 11, day_, 11) == 0 && s.compare(19, 6, day_ + 11, 6) == 0)
        return dayStart_ + static_cast<double>(hour * 3600 + minute * 60 + second);
    const auto instant = parseTimestampFast(s);
    if (!instant)
        return parseTimestamp(s);
    s.copy(day_, 11, 0);
    s.copy(day_ + 11, 6, 19);
    dayStart_ = *instant - static_cast<double>(hour * 3600 + minute * 60 + second);
    haveDay_ = true;
    return instant;
}

} // namespace zelmar
