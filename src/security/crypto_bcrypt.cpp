// BCrypt backend of the platform crypto layer. Every provider and key
// handle is owned by a small RAII type, so each call closes what it opened
// on every path; the recorded status is the NTSTATUS of the last call.

#include "security/crypto_platform.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace zelmar {

namespace {

using crypto_detail::setLastStatus;
using crypto_detail::validBlob;
using crypto_detail::validMessage;

constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000);

bool succeeded(NTSTATUS status)
{
    setLastStatus(static_cast<std::uint32_t>(status));
    return status >= 0;
}

class Provider {
public:
    explicit Provider(const wchar_t* algorithm)
    {
        if (!succeeded(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0)))
            handle_ = nullptr;
    }
    ~Provider()
    {
        if (handle_ != nullptr)
            BCryptCloseAlgorithmProvider(handle_, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    [[nodiscard]] BCRYPT_ALG_HANDLE get() const noexcept { return handle_; }
    [[nodiscard]] explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (handle_ != nullptr)
            BCryptDestroyKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    [[nodiscard]] BCRYPT_KEY_HANDLE* out() noexcept { return &handle_; }
    [[nodiscard]] BCRYPT_KEY_HANDLE get() const noexcept { return handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

bool hash(const std::uint8_t* message, std::size_t length, std::uint8_t* out32)
{
    Provider sha(BCRYPT_SHA256_ALGORITHM);
    if (!sha)
        return false;
    static std::uint8_t empty = 0;
    return succeeded(BCryptHash(sha.get(), nullptr, 0, const_cast<PUCHAR>(message != nullptr ? message : &empty),
        static_cast<ULONG>(length), out32, 32));
}

bool importKey(const Provider& provider, const wchar_t* type, const std::uint8_t* blob, std::size_t length, Key& key)
{
    return succeeded(BCryptImportKeyPair(
        provider.get(), nullptr, type, key.out(), const_cast<PUCHAR>(blob), static_cast<ULONG>(length), 0));
}

// Exports a blob that must have exactly `length` bytes.
bool exportKey(const Key& key, const wchar_t* type, std::uint8_t* out, std::size_t length)
{
    ULONG written = 0;
    if (!succeeded(BCryptExportKey(key.get(), nullptr, type, out, static_cast<ULONG>(length), &written, 0)))
        return false;
    if (written != length) {
        setLastStatus(dmmStatusUnsuccessful);
        return false;
    }
    return true;
}

int badArgument()
{
    setLastStatus(0);
    return dmmCryptoBadArgument;
}

} // namespace

struct DmmSha256Stream {
    Provider provider { BCRYPT_SHA256_ALGORITHM };
    BCRYPT_HASH_HANDLE hash = nullptr;
};

DmmSha256Stream* dmm_sha256_begin()
{
    auto stream = std::make_unique<DmmSha256Stream>();
    if (!stream->provider
        || !succeeded(BCryptCreateHash(stream->provider.get(), &stream->hash, nullptr, 0, nullptr, 0, 0)))
        return nullptr;
    return stream.release();
}

int dmm_sha256_update(DmmSha256Stream* stream, const std::uint8_t* data, std::size_t length)
{
    if (stream == nullptr || !validMessage(data, length))
        return badArgument();
    // BCrypt takes a ULONG per call; bigger pieces go in parts.
    while (length > 0) {
        const ULONG part = static_cast<ULONG>(std::min<std::size_t>(length, 1u << 30));
        if (!succeeded(BCryptHashData(stream->hash, const_cast<PUCHAR>(data), part, 0)))
            return dmmCryptoFailure;
        data += part;
        length -= part;
    }
    return dmmCryptoOk;
}

int dmm_sha256_finish(DmmSha256Stream* stream, std::uint8_t* digest32)
{
    if (stream == nullptr || digest32 == nullptr)
        return badArgument();
    return succeeded(BCryptFinishHash(stream->hash, digest32, 32, 0)) ? dmmCryptoOk : dmmCryptoFailure;
}

void dmm_sha256_free(DmmSha256Stream* stream)
{
    if (stream == nullptr)
        return;
    if (stream->hash != nullptr)
        BCryptDestroyHash(stream->hash);
    delete stream;
}

int dmm_sha256(const std::uint8_t* data, std::size_t length, std::uint8_t* digest32)
{
    if (digest32 == nullptr || !validMessage(data, length))
        return badArgument();
    std::uint8_t local[32];
    if (!hash(data, length, local))
        return dmmCryptoFailure;
    std::memcpy(digest32, local, 32);
    dmm_secure_zero(local, sizeof local);
    return dmmCryptoOk;
}

int dmm_ecdsa_generate(std::uint8_t* privateBlob104, std::uint8_t* publicBlob72)
{
    if (privateBlob104 == nullptr || publicBlob72 == nullptr)
        return badArgument();
    Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!ecdsa || !succeeded(BCryptGenerateKeyPair(ecdsa.get(), key.out(), 256, 0))
        || !succeeded(BCryptFinalizeKeyPair(key.get(), 0)))
        return dmmCryptoFailure;
    std::uint8_t privateBlob[dmmPrivateBlobLength];
    std::uint8_t publicBlob[dmmPublicBlobLength];
    const bool exported = exportKey(key, BCRYPT_ECCPRIVATE_BLOB, privateBlob, sizeof privateBlob)
        && exportKey(key, BCRYPT_ECCPUBLIC_BLOB, publicBlob, sizeof publicBlob);
    if (exported) {
        std::memcpy(privateBlob104, privateBlob, sizeof privateBlob);
        std::memcpy(publicBlob72, publicBlob, sizeof publicBlob);
    }
    dmm_secure_zero(privateBlob, sizeof privateBlob);
    return exported ? dmmCryptoOk : dmmCryptoFailure;
}

int dmm_ecdsa_sign(const std::uint8_t* privateBlob, std::size_t privateLength, const std::uint8_t* message,
    std::size_t messageLength, std::uint8_t* signature64)
{
    if (signature64 == nullptr || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic)
        || !validMessage(message, messageLength))
        return badArgument();
    std::uint8_t digest[32];
    if (!hash(message, messageLength, digest))
        return dmmCryptoFailure;
    return dmm_ecdsa_sign_digest(privateBlob, privateLength, digest, signature64);
}

int dmm_ecdsa_sign_digest(
    const std::uint8_t* privateBlob, std::size_t privateLength, const std::uint8_t* digest32, std::uint8_t* signature64)
{
    if (signature64 == nullptr || digest32 == nullptr
        || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic))
        return badArgument();
    Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!ecdsa || !importKey(ecdsa, BCRYPT_ECCPRIVATE_BLOB, privateBlob, privateLength, key))
        return dmmCryptoFailure;
    std::uint8_t digest[32];
    std::memcpy(digest, digest32, sizeof digest); // the platform takes it unconst
    ULONG written = 0;
    if (!succeeded(BCryptSignHash(key.get(), nullptr, digest, 32, signature64, 64, &written, 0)))
        return dmmCryptoFailure;
    if (written != 64) {
        setLastStatus(dmmStatusUnsuccessful);
        return dmmCryptoFailure;
    }
    return dmmCryptoOk;
}

int dmm_ecdsa_verify(const std::uint8_t* publicBlob, std::size_t publicLength, const std::uint8_t* message,
    std::size_t messageLength, const std::uint8_t* signature, std::size_t signatureLength)
{
    if (!validBlob(publicBlob, publicLength, dmmPublicBlobLength, dmmPublicMagic)
        || !validMessage(message, messageLength))
        return badArgument();
    if (signature == nullptr || signatureLength != dmmSignatureLength) {
        setLastStatus(0);
        return dmmCryptoInvalidSignature;
    }
    std::uint8_t digest[32];
    if (!hash(message, messageLength, digest))
        return dmmCryptoFailure;
    Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!ecdsa || !importKey(ecdsa, BCRYPT_ECCPUBLIC_BLOB, publicBlob, publicLength, key))
        return dmmCryptoFailure;
    const NTSTATUS status = BCryptVerifySignature(key.get(), nullptr, digest, 32, const_cast<PUCHAR>(signature), 64, 0);
    setLastStatus(static_cast<std::uint32_t>(status));
    if (status >= 0)
        return dmmCryptoOk;
    return status == kInvalidSignature ? dmmCryptoInvalidSignature : dmmCryptoFailure;
}

int dmm_ecdsa_public_from_private(
    const std::uint8_t* privateBlob, std::size_t privateLength, std::uint8_t* publicBlob72)
{
    if (publicBlob72 == nullptr || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic))
        return badArgument();
    Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!ecdsa || !importKey(ecdsa, BCRYPT_ECCPRIVATE_BLOB, privateBlob, privateLength, key))
        return dmmCryptoFailure;
    return exportKey(key, BCRYPT_ECCPUBLIC_BLOB, publicBlob72, dmmPublicBlobLength) ? dmmCryptoOk : dmmCryptoFailure;
}

} // namespace zelmar
