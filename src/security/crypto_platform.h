#pragma once

// The platform crypto layer: ECDSA P-256 with SHA-256, SHA-256 and the
// wiping of key material, as plain functions with integer result codes.
// Backends: crypto_bcrypt.cpp (Windows BCrypt) and crypto_openssl.cpp
// (OpenSSL 3); both take and give the same key blobs and signature form:
//
//   private blob (104 bytes): "ECS2" magic 0x32534345 LE, key length 32 LE,
//                             X (32, big-endian), Y (32), d (32)
//   public blob (72 bytes):   "ECS1" magic 0x31534345 LE, key length 32 LE, X, Y
//   signature (64 bytes):     r (32, big-endian) then s (32); never DER

#include <cstddef>
#include <cstdint>

namespace zelmar {

enum DmmCryptoResult : int {
    dmmCryptoOk = 0,
    dmmCryptoInvalidSignature = 1,
    dmmCryptoBadArgument = 2,
    dmmCryptoFailure = 3,
};

inline constexpr std::size_t dmmPrivateBlobLength = 104;
inline constexpr std::size_t dmmPublicBlobLength = 72;
inline constexpr std::size_t dmmSignatureLength = 64;
inline constexpr std::size_t dmmDigestLength = 32;
inline constexpr std::uint32_t dmmPrivateMagic = 0x32534345;
inline constexpr std::uint32_t dmmPublicMagic = 0x31534345;
inline constexpr std::uint32_t dmmStatusUnsuccessful = 0xC0000001;

[[nodiscard]] int dmm_ecdsa_generate(std::uint8_t* privateBlob104, std::uint8_t* publicBlob72);
[[nodiscard]] int dmm_ecdsa_sign(const std::uint8_t* privateBlob, std::size_t privateLength,
    const std::uint8_t* message, std::size_t messageLength, std::uint8_t* signature64);
// The same for a message whose SHA-256 digest was made as it was written.
[[nodiscard]] int dmm_ecdsa_sign_digest(
    const std::uint8_t* privateBlob, std::size_t privateLength, const std::uint8_t* digest32, std::uint8_t* signature64);
[[nodiscard]] int dmm_ecdsa_verify(const std::uint8_t* publicBlob, std::size_t publicLength,
    const std::uint8_t* message, std::size_t messageLength, const std::uint8_t* signature, std::size_t signatureLength);
[[nodiscard]] int dmm_ecdsa_public_from_private(
    const std::uint8_t* privateBlob, std::size_t privateLength, std::uint8_t* publicBlob72);
[[nodiscard]] int dmm_sha256(const std::uint8_t* data, std::size_t length, std::uint8_t* digest32);
// SHA-256 over data that arrives in pieces (files of any size): begin gives
// a stream or null, update adds bytes, finish writes the digest; free
// releases the stream on every path, finished or not.
struct DmmSha256Stream;
[[nodiscard]] DmmSha256Stream* dmm_sha256_begin();
[[nodiscard]] int dmm_sha256_update(DmmSha256Stream* stream, const std::uint8_t* data, std::size_t length);
[[nodiscard]] int dmm_sha256_finish(DmmSha256Stream* stream, std::uint8_t* digest32);
void dmm_sha256_free(DmmSha256Stream* stream);
// The platform status of the calling thread's last platform call (an
// NTSTATUS on Windows, an OpenSSL error code on Linux); 0 when the last call
// failed before reaching the platform.
[[nodiscard]] std::uint32_t dmm_crypto_last_status();
void dmm_secure_zero(void* buffer, std::size_t length);

namespace crypto_detail {

// Shared argument checks, made before any platform call.
bool validBlob(const std::uint8_t* blob, std::size_t length, std::size_t expectedLength, std::uint32_t magic);
bool validMessage(const std::uint8_t* message, std::size_t length);
void setLastStatus(std::uint32_t status);

} // namespace crypto_detail

} // namespace zelmar
