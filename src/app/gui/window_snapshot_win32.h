#pragma once

// The test hook's picture of the main window (Windows build only): the
// client area and every visible child printed into a 32-bit bitmap, with a
// chosen menu drawn opened above it, written as a BMP file.

#include "ui/main_window_win32.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zelmar {

// Whether the file was written.
bool captureWindowSnapshot(
    ui::win32::MainWindow& window, const std::filesystem::path& path, const std::optional<std::string>& menu);

} // namespace zelmar
