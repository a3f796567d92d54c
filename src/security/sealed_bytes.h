#pragma once

// Key material kept in the program in masked form. The cipher is the plain
// bytes XOR a keystream made of SHA-256 digests of successive blocks
//   block i = 16-byte label || 32-byte seed || i as 4-byte little-endian
// so the plain bytes exist only briefly while a key is in use.

#include "security/ecdsa.h"

#include <expected>
#include <optional>

namespace zelmar {

struct SealedBytes {
    ByteVector seed; // 32 bytes
    ByteVector cipher; // as long as the protected bytes

    // Seals with a fresh random seed.
    [[nodiscard]] static std::expected<SealedBytes, CryptoError> seal(std::span<const std::uint8_t> plain);
    // None when the seed is not 32 bytes or the cipher is empty.
    [[nodiscard]] std::expected<std::optional<ByteVector>, CryptoError> unseal() const;
};

// The keystream of a seed (for tests).
[[nodiscard]] std::expected<ByteVector, CryptoError> sealKeystream(
    std::span<const std::uint8_t> seed, std::size_t length);

} // namespace zelmar
