#include "storage/settings.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace zelmar {

std::filesystem::path platformUserDataDirectory()
{
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder)))
        path = folder;
    CoTaskMemFree(folder);
    return path.empty() ? std::filesystem::current_path() : path;
}

} // namespace zelmar
