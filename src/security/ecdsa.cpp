#include "security/ecdsa.h"
#include "security/crypto_platform.h"

#include <cstdio>
#include <utility>

namespace zelmar {

namespace {

CryptoError error(const char* operation, int code)
{
    return CryptoError { operation, code, static_cast<std::int32_t>(dmm_crypto_last_status()), std::nullopt };
}

} // namespace

std::string_view cryptoCodeName(int code) noexcept
{
    switch (code) {
    case dmmCryptoOk:
        return "OK";
    case dmmCryptoInvalidSignature:
        return "INVALID_SIGNATURE";
    case dmmCryptoBadArgument:
        return "BAD_ARGUMENT";
    case dmmCryptoFailure:
        return "FAILURE";
    default:
        return "UNKNOWN";
    }
}

std::string CryptoError::text() const
{
    char status[16];
    std::snprintf(status, sizeof status, "%X", static_cast<unsigned>(static_cast<std::uint32_t>(ntStatus)));
    return "CryptoError(" + operation + ": " + std::string(cryptoCodeName(code)) + "(" + std::to_string(code)
        + "), NTSTATUS=0x" + status + (detail ? ", " + *detail : std::string()) + ")";
}

std::expected<KeyPair, CryptoError> EcdsaP256::generateKeyPair()
{
    KeyPair pair { ByteVector(dmmPrivateBlobLength, 0), ByteVector(dmmPublicBlobLength, 0) };
    if (const int code = dmm_ecdsa_generate(pair.privateKey.data(), pair.publicKey.data()); code != dmmCryptoOk)
        return std::unexpected(error("generateKeyPair", code));
    return pair;
}

std::expected<ByteVector, CryptoError> EcdsaP256::sign(
    std::span<const std::uint8_t> message, std::span<const std::uint8_t> privateKey)
{
    ByteVector signature(dmmSignatureLength, 0);
    const int code
        = dmm_ecdsa_sign(privateKey.data(), privateKey.size(), message.data(), message.size(), signature.data());
    if (code != dmmCryptoOk)
        return std::unexpected(error("sign", code));
    return signature;
}

std::expected<ByteVector, CryptoError> EcdsaP256::signDigest(
    std::span<const std::uint8_t, 32> digest, std::span<const std::uint8_t> privateKey)
{
    ByteVector signature(dmmSignatureLength, 0);
    const int code = dmm_ecdsa_sign_digest(privateKey.data(), privateKey.size(), digest.data(), signature.data());
    if (code != dmmCryptoOk)
        return std::unexpected(error("sign", code));
    return signature;
}

bool EcdsaP256::verify(std::span<const std::uint8_t> message, std::span<const std::uint8_t> signature,
    std::span<const std::uint8_t> publicKey)
{
    return dmm_ecdsa_verify(
               publicKey.data(), publicKey.size(), message.data(), message.size(), signature.data(), signature.size())
        == dmmCryptoOk;
}

std::expected<ByteVector, CryptoError> EcdsaP256::publicKey(std::span<const std::uint8_t> privateKey)
{
    ByteVector key(dmmPublicBlobLength, 0);
    if (const int code = dmm_ecdsa_public_from_private(privateKey.data(), privateKey.size(), key.data());
        code != dmmCryptoOk)
        return std::unexpected(error("publicKey(fromPrivate:)", code));
    return key;
}

std::expected<ByteVector, CryptoError> EcdsaP256::sha256(std::span<const std::uint8_t> data)
{
    ByteVector digest(dmmDigestLength, 0);
    if (const int code = dmm_sha256(data.data(), data.size(), digest.data()); code != dmmCryptoOk)
        return std::unexpected(error("sha256", code));
    return digest;
}

namespace {

std::string hexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += hex[b >> 4];
        text += hex[b & 0x0F];
    }
    return text;
}

} // namespace

std::expected<std::string, CryptoError> EcdsaP256::sha256Hex(std::span<const std::uint8_t> data)
{
    auto digest = sha256(data);
    if (!digest)
        return std::unexpected(digest.error());
    return hexText(*digest);
}

std::expected<Sha256Stream, CryptoError> Sha256Stream::create()
{
    DmmSha256Stream* stream = dmm_sha256_begin();
    if (stream == nullptr)
        return std::unexpected(error("sha256", dmmCryptoFailure));
    return Sha256Stream(stream);
}

Sha256Stream::~Sha256Stream()
{
    dmm_sha256_free(stream_);
}

Sha256Stream::Sha256Stream(Sha256Stream&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr))
{
}

Sha256Stream& Sha256Stream::operator=(Sha256Stream&& other) noexcept
{
    if (this != &other) {
        dmm_sha256_free(stream_);
        stream_ = std::exchange(other.stream_, nullptr);
    }
    return *this;
}

std::expected<void, CryptoError> Sha256Stream::update(std::span<const std::uint8_t> data)
{
    if (const int code = dmm_sha256_update(stream_, data.data(), data.size()); code != dmmCryptoOk)
        return std::unexpected(error("sha256", code));
    return {};
}

std::expected<std::array<std::uint8_t, 32>, CryptoError> Sha256Stream::finish()
{
    std::array<std::uint8_t, 32> digest {};
    const int code = dmm_sha256_finish(stream_, digest.data());
    dmm_sha256_free(std::exchange(stream_, nullptr));
    if (code != dmmCryptoOk)
        return std::unexpected(error("sha256", code));
    return digest;
}

std::expected<std::string, CryptoError> Sha256Stream::finishHex()
{
    const auto digest = finish();
    if (!digest)
        return std::unexpected(digest.error());
    return hexText(*digest);
}

void SecureMemory::zero(ByteVector& bytes)
{
    dmm_secure_zero(bytes.data(), bytes.size());
}

} // namespace zelmar
