#pragma once

// PNG pictures of what the windows draw, for people to look at: 8-bit RGB,
// no interlace, the image data in stored (uncompressed) deflate blocks, so
// the encoder needs no compression library and stays a page long.

#include <cstdint>
#include <span>
#include <vector>

namespace zelmar::ui {

// pixels: width × height 32-bit values 0x00RRGGBB (a top-down DIB's layout),
// row by row from the top. Empty when the sizes do not match.
[[nodiscard]] std::vector<std::uint8_t> encodePng(int width, int height, std::span<const std::uint32_t> pixels);

// The checksums the format uses, exposed for tests.
[[nodiscard]] std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0) noexcept;
[[nodiscard]] std::uint32_t adler32(std::span<const std::uint8_t> bytes) noexcept;

} // namespace zelmar::ui
