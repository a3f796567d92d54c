#pragma once

// Chooses the meter behind a port: the real meter over the platform's HID
// stack, or the simulator. The selection text is the value of the test hook
// ZELMAR_TEST_METER (or the logger's --simulate option): empty for the real
// meter, "sim" for the default scenario, "sim:<scenario>" for another.

#include "meter/dmm5174k.h"

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zelmar {

[[nodiscard]] std::expected<std::unique_ptr<DMMDevicePort>, std::string> makeMeterPort(std::string_view selection);

// The device node of a plugged-in meter that this user may not open (on
// Linux before the udev rule is installed); none when there is no such
// meter or the platform has no such problem.
[[nodiscard]] std::optional<std::string> deniedMeterNode();

} // namespace zelmar
