#include "storage/settings.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace zelmar {

std::filesystem::path platformUserDataDirectory()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        if (const passwd* entry = ::getpwuid(::getuid()))
            home = entry->pw_dir;
    }
    return std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
}

} // namespace zelmar
