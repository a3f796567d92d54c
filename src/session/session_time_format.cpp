#include "session/session_time_format.h"
#include "storage/timestamp.h"

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

CivilTime civil(double t, int offsetSeconds)
{
    const double whole = std::isfinite(t) ? std::floor(t) : 0.0;
    return civilFromSeconds(static_cast<std::int64_t>(whole) + offsetSeconds);
}

} // namespace

std::string date(double t, int offsetSeconds)
{
    const CivilTime c = civil(t, offsetSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(c.year), c.month, c.day);
    return text;
}

std::string time(double t, int offsetSeconds)
{
    const CivilTime c = civil(t, offsetSeconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
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

} // namespace zelmar::SessionTimeFormat
