#pragma once

// ECDSA P-256 with SHA-256, SHA-256, and the wiping of key material, as the
// rest of the system uses them: byte vectors in, values or CryptoError out.
// Verification never fails: every problem is the answer false.

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

using ByteVector = std::vector<std::uint8_t>;

// The bytes of a text, for hashing and signing.
[[nodiscard]] inline std::span<const std::uint8_t> asBytes(std::string_view text) noexcept
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

struct CryptoError {
    std::string operation;
    int code = 0;
    std::int32_t ntStatus = 0;
    std::optional<std::string> detail;

    // CryptoError(sign: BAD_ARGUMENT(2), NTSTATUS=0x0, 簽章金鑰不可用)
    [[nodiscard]] std::string text() const;
};

struct KeyPair {
    ByteVector privateKey; // 104-byte private blob
    ByteVector publicKey; // 72-byte public blob
};

namespace EcdsaP256 {

[[nodiscard]] std::expected<KeyPair, CryptoError> generateKeyPair();
[[nodiscard]] std::expected<ByteVector, CryptoError> sign(
    std::span<const std::uint8_t> message, std::span<const std::uint8_t> privateKey);
// The same for a message hashed as it was written (a Sha256Stream's digest).
[[nodiscard]] std::expected<ByteVector, CryptoError> signDigest(
    std::span<const std::uint8_t, 32> digest, std::span<const std::uint8_t> privateKey);
[[nodiscard]] bool verify(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
    std::span<const std::uint8_t> publicKey);
[[nodiscard]] std::expected<ByteVector, CryptoError> publicKey(std::span<const std::uint8_t> privateKey);
[[nodiscard]] std::expected<ByteVector, CryptoError> sha256(std::span<const std::uint8_t> data);
[[nodiscard]] std::expected<std::string, CryptoError> sha256Hex(std::span<const std::uint8_t> data);

} // namespace EcdsaP256

struct DmmSha256Stream;

// SHA-256 over bytes that arrive in pieces, for files too big to hold.
class Sha256Stream {
public:
    [[nodiscard]] static std::expected<Sha256Stream, CryptoError> create();
    ~Sha256Stream();
    Sha256Stream(Sha256Stream&& other) noexcept;
    Sha256Stream& operator=(Sha256Stream&& other) noexcept;
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    [[nodiscard]] std::expected<void, CryptoError> update(std::span<const std::uint8_t> data);
    // The digest, as 32 bytes or as 64 lower-case hex digits; the stream is
    // used up.
    [[nodiscard]] std::expected<std::array<std::uint8_t, 32>, CryptoError> finish();
    [[nodiscard]] std::expected<std::string, CryptoError> finishHex();

private:
    explicit Sha256Stream(DmmSha256Stream* stream) noexcept
        : stream_(stream)
    {
    }
    DmmSha256Stream* stream_ = nullptr;
};

namespace SecureMemory {
// Overwrites every byte with zero (the vector keeps its size).
void zero(ByteVector& bytes);
} // namespace SecureMemory

[[nodiscard]] std::string_view cryptoCodeName(int code) noexcept;

} // namespace zelmar
