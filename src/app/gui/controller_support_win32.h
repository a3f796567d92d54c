#pragma once

// Small pieces the controller's source files share (Windows build only).

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace zelmar::gui {

inline constexpr std::string_view modelName = "DMM-5174K";

inline void logApp(std::string_view line)
{
    log::write(log::Module::app, line);
}

// The last component of a Windows or POSIX path (UTF-8).
[[nodiscard]] inline std::string lastComponent(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[nodiscard]] inline std::filesystem::path fsPath(const std::string& utf8)
{
    return std::filesystem::path(text::utf8ToWide(utf8));
}

// The standard wait cursor while a file is read or written.
class WaitCursor {
public:
    WaitCursor()
        : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT)))
    {
    }
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

} // namespace zelmar::gui
