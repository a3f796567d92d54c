#pragma once

// The one place where Win32 error codes become text (Windows build only).

#include <windows.h>

#include <string>

namespace zelmar::win32 {

// The system's message for an error code, as UTF-8, with the code appended.
[[nodiscard]] std::string errorText(DWORD code);
[[nodiscard]] inline std::string lastErrorText()
{
    return errorText(GetLastError());
}

} // namespace zelmar::win32
