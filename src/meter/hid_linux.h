#pragma once

// The hidraw backend's enumeration roots, so tests can point it at a fake
// sysfs tree. The real primitives use /sys/class/hidraw and /dev.

#include "meter/hid.h"

#include <optional>
#include <string>

namespace zelmar::hidraw {

struct Roots {
    std::string sysClass = "/sys/class/hidraw";
    std::string dev = "/dev";
};

// hid_open over the given roots: the first hidrawN (in number order) whose
// device uevent carries HID_ID=<bus>:<vid>:<pid> and that opens read-write.
[[nodiscard]] HidHandle open(const Roots& roots, std::uint16_t vid, std::uint16_t pid, dmm_caps* caps);

// The device node of a matching interface that exists but may not be opened
// (permission denied, as before the udev rule is installed); none otherwise.
[[nodiscard]] std::optional<std::string> deniedNode(const Roots& roots, std::uint16_t vid, std::uint16_t pid);

} // namespace zelmar::hidraw
