#pragma once

// The limits dialog (Windows build only): a low and a high limit and the
// beep for the meter's current function and unit, built from a template in
// memory so it needs no resource script. A field that is no number, or a
// low limit above the high one, is said in a box and the dialog stays.

#include "core/limits.h"
#include "localization/localization.h"

#include <windows.h>

#include <optional>
#include <string_view>

namespace zelmar::ui::win32 {

// The control numbers, for tests that fill the fields.
inline constexpr int limitsLowField = 101;
inline constexpr int limitsHighField = 102;
inline constexpr int limitsBeepBox = 103;

// The limits entered (none set removes them), or none when cancelled.
[[nodiscard]] std::optional<Limits> askLimits(
    HWND owner, AppLanguage language, std::string_view forWhat, const Limits& current);

} // namespace zelmar::ui::win32
