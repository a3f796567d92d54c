#pragma once

// The byte language of the DMM-5174K over USB HID. Pure: byte arrays in,
// values out, no I/O and no state.
//
// A request is a command frame wrapped in a transport frame:
//
//   command frame   AB CD 01 c  S_hi S_lo          S = AB + CD + 01 + c
//   transport frame 57 AB 00 k  06 <command frame> X
//                   X = bits 8..15 of the sum of the eleven bytes before it
//
//   display request (k 0x87, c 0x5E): 57 AB 00 87 06 AB CD 01 5E 01 D7 04
//
// The output report is the report ID 0x00, the frame, then zeros up to the
// device's output report length. Responses carry only the inner framing and
// are decoded from the input report as read, report ID at offset 0:
//
//   off  0   1   2  3  4  5    6      7..13       14   15   16 17 18  19 20
//        id  --  AB CD -- func range  7 text chars bar  bar  A  B  C   sum
//                                     (ASCII)     x10  x1   flags     hi lo
//
//   sum = bytes 2..18 added as unsigned values, big-endian in 19..20.
//
// Example: 00 00 AB CD 00 02 31 20 31 32 2E 33 34 35 00 00 00 00 00 02 F8
// is DC volts (function 2), range 1, text " 12.345", no flags.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

enum class DMMCommand : std::uint8_t {
    backlight = 0x4B,
    readDisplay = 0x5E,
    readModel = 0x5F,
};

// The command for a raw byte; none for any byte that is not a command.
[[nodiscard]] std::optional<DMMCommand> dmmCommandFromByte(std::uint8_t raw) noexcept;

struct DMMStatusFlags {
    bool rel = false;
    bool hold = false;
    bool min = false;
    bool max = false;
    bool apo = false;
    bool manualRange = false;
    bool lowBattery = false;
    bool hvWarning = false;
    bool acFlag = false;
    bool peakMax = false;
    bool peakMin = false;
    bool barNegative = false;

    friend bool operator==(const DMMStatusFlags&, const DMMStatusFlags&) = default;
};

struct DMMDisplayFrame {
    std::uint8_t functionCode = 0;
    int rangeIndex = 0;
    std::string displayText; // exactly seven ASCII characters, untrimmed
    int barGraph = 0;
    DMMStatusFlags flags;

    friend bool operator==(const DMMDisplayFrame&, const DMMDisplayFrame&) = default;
};

namespace DMMProtocol {

inline constexpr std::uint8_t transportCommand = 0x87;
inline constexpr std::uint8_t transportCommandRetry = 0x06;
inline constexpr std::size_t displayReportLength = 21;
inline constexpr std::size_t minimumReadBuffer = 64;

// The acknowledge frame, as it stands at offsets 2..8 of a report.
inline constexpr std::uint8_t acknowledgeFrame[7] = { 0xAB, 0xCD, 0x04, 0xFF, 0x00, 0x02, 0x7B };

[[nodiscard]] Bytes commandFrame(std::uint8_t command);
[[nodiscard]] Bytes transportFrame(std::uint8_t transportCommand, std::uint8_t command);
[[nodiscard]] Bytes outputReport(ByteView frame, std::uint16_t outputLength);
// The size of the zero-filled buffer an input report is read into.
[[nodiscard]] std::size_t inputBufferLength(std::uint16_t inputLength) noexcept;

[[nodiscard]] std::optional<DMMDisplayFrame> decodeDisplay(ByteView report);

// Which check of decodeDisplay a report fails first (passes when none).
enum class DisplayCheck { passes, length, header, checksum, range, text };
[[nodiscard]] DisplayCheck checkDisplay(ByteView report) noexcept;
[[nodiscard]] std::optional<std::string> parseModel(ByteView report);
[[nodiscard]] bool isAcknowledge(ByteView report) noexcept;
[[nodiscard]] std::optional<std::string> displayText(ByteView report);
[[nodiscard]] DMMStatusFlags statusFlags(std::uint8_t byteA, std::uint8_t byteB, std::uint8_t byteC) noexcept;

} // namespace DMMProtocol

} // namespace zelmar
