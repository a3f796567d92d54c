#pragma once

// The document named on the command line, and the message in which a second
// instance hands such a path to the running one. Paths are Windows paths in
// both builds (drive letters, backslashes, UNC names).
//
// Open-document message (the COPYDATASTRUCT of WM_COPYDATA):
//   dwData  0x5A4D4431 ("ZMD1" read big-endian)
//   cbData  2..65,534 bytes, even
//   lpData  the path as UTF-16LE, 1..32,767 units, no NUL, no terminator
// Example: "C:\a" is 43 00 3A 00 5C 00 61 00 with cbData 8.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

namespace LaunchArguments {

// The first argument after the program that is not empty (after trimming
// white space and quotes) and not an option ("-..."), made absolute.
[[nodiscard]] std::optional<std::u16string> documentPath(
    std::span<const std::u16string> arguments, std::u16string_view currentDirectory);
[[nodiscard]] std::u16string resolve(std::u16string_view path, std::u16string_view baseDirectory);

} // namespace LaunchArguments

namespace OpenDocumentMessage {

inline constexpr std::uint32_t identifier = 0x5A4D4431;
inline constexpr std::size_t maximumUnits = 32'767;

[[nodiscard]] std::optional<std::vector<std::uint8_t>> encode(std::u16string_view path);
[[nodiscard]] std::optional<std::u16string> decode(std::uint64_t dwData, std::span<const std::uint8_t> bytes);

} // namespace OpenDocumentMessage

} // namespace zelmar
