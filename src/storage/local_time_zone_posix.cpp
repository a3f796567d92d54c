#include "storage/timestamp.h"

#include <ctime>

namespace zelmar {

int LocalTimeZone::currentOffsetSeconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    if (::localtime_r(&now, &local) == nullptr)
        return 0;
    return static_cast<int>(local.tm_gmtoff);
}

} // namespace zelmar
