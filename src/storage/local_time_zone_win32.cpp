#include "storage/timestamp.h"

#include <windows.h>

#include <ctime>

namespace zelmar {

int LocalTimeZone::currentOffsetSeconds()
{
    TIME_ZONE_INFORMATION info {};
    switch (GetTimeZoneInformation(&info)) {
    case TIME_ZONE_ID_UNKNOWN:
    case TIME_ZONE_ID_STANDARD:
        return -static_cast<int>(info.Bias + info.StandardBias) * 60;
    case TIME_ZONE_ID_DAYLIGHT:
        return -static_cast<int>(info.Bias + info.DaylightBias) * 60;
    default: {
        // The C runtime's idea of the zone for the present moment.
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        std::tm utc {};
        if (localtime_s(&local, &now) != 0 || gmtime_s(&utc, &now) != 0)
            return 0;
        utc.tm_isdst = local.tm_isdst;
        return static_cast<int>(std::difftime(std::mktime(&local), std::mktime(&utc)));
    }
    }
}

} // namespace zelmar
