#pragma once

// Report lengths from a HID report descriptor, as Windows reports them in
// HIDP_CAPS: the longest input and output report in bytes, plus one byte for
// the report ID (counted whether or not the device numbers its reports).
//
// A descriptor is a run of items. A short item is one prefix byte
// (size in bits 0-1, 3 meaning 4 bytes; type in bits 2-3: 0 main, 1 global,
// 2 local; tag in bits 4-7) and 0, 1, 2 or 4 data bytes, little-endian. A long
// item is 0xFE, a data size, a tag and that many bytes. Only Report Size
// (global 7), Report ID (global 8), Report Count (global 9), Push and Pop
// (global 10, 11) and the Input and Output main items (8, 9) matter here.
//
// Example: 06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 95 40 09 01 81 02
//          95 40 09 01 91 02 C0
// is a vendor collection with one 64-byte input and one 64-byte output report:
// both lengths are 65.

#include "meter/protocol.h"

namespace zelmar {

struct HidReportLayout {
    std::uint16_t inputLength = 0;
    std::uint16_t outputLength = 0;
    bool usesReportIds = false;
};

// None when the descriptor is malformed (a truncated item, Pop without Push).
[[nodiscard]] std::optional<HidReportLayout> parseReportDescriptor(ByteView descriptor);

} // namespace zelmar
