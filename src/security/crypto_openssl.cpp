// OpenSSL 3 backend of the platform crypto layer. It speaks the same key
// blobs and 64-byte r||s signatures as the BCrypt backend, converting to and
// from OpenSSL's key parameters and DER signatures at the edges.

#include "security/crypto_platform.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstring>
#include <memory>

namespace zelmar {

namespace {

using crypto_detail::setLastStatus;
using crypto_detail::validBlob;
using crypto_detail::validMessage;

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(BIGNUM* p) const { BN_clear_free(p); }
    void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
    void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

int fail()
{
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    setLastStatus(error != 0 ? static_cast<std::uint32_t>(error) : dmmStatusUnsuccessful);
    return dmmCryptoFailure;
}

int ok()
{
    setLastStatus(0);
    return dmmCryptoOk;
}

void putLE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool exportCoordinate(const EVP_PKEY* key, const char* name, std::uint8_t* out32)
{
    BIGNUM* raw = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &raw) != 1)
        return false;
    Owned<BIGNUM> value(raw);
    return BN_bn2binpad(value.get(), out32, 32) == 32;
}

// An EVP_PKEY from a blob: the public point always, the scalar when given.
Owned<EVP_PKEY> importKey(const std::uint8_t* blob, bool withPrivate)
{
    std::uint8_t point[65];
    point[0] = 0x04; // uncompressed
    std::memcpy(point + 1, blob + 8, 64);
    Owned<OSSL_PARAM_BLD> builder(OSSL_PARAM_BLD_new());
    Owned<BIGNUM> scalar;
    if (!builder || OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) != 1
        || OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point) != 1)
        return nullptr;
    if (withPrivate) {
        scalar.reset(BN_secure_new());
        if (!scalar || BN_bin2bn(blob + 72, 32, scalar.get()) == nullptr
            || OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get()) != 1)
            return nullptr;
    }
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(builder.get()));
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1
        || EVP_PKEY_fromdata(ctx.get(), &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    Owned<EVP_PKEY> owned(key);
    // A point that is not on the curve is refused here, as BCrypt refuses it.
    Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) != 1)
        return nullptr;
    return owned;
}

bool digest(const std::uint8_t* message, std::size_t length, std::uint8_t* out32)
{
    static const std::uint8_t empty = 0;
    unsigned int size = 0;
    return EVP_Digest(message != nullptr ? message : &empty, length, out32, &size, EVP_sha256(), nullptr) == 1
        && size == 32;
}

} // namespace

struct DmmSha256Stream {
    EVP_MD_CTX* context = nullptr;
};

DmmSha256Stream* dmm_sha256_begin()
{
    auto stream = std::make_unique<DmmSha256Stream>();
    stream->context = EVP_MD_CTX_new();
    if (stream->context == nullptr || EVP_DigestInit_ex(stream->context, EVP_sha256(), nullptr) != 1) {
        (void)fail();
        dmm_sha256_free(stream.release());
        return nullptr;
    }
    return stream.release();
}

int dmm_sha256_update(DmmSha256Stream* stream, const std::uint8_t* data, std::size_t length)
{
    if (stream == nullptr || !validMessage(data, length)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    if (length > 0 && EVP_DigestUpdate(stream->context, data, length) != 1)
        return fail();
    return dmmCryptoOk;
}

int dmm_sha256_finish(DmmSha256Stream* stream, std::uint8_t* digest32)
{
    if (stream == nullptr || digest32 == nullptr) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(stream->context, digest32, &size) != 1 || size != 32)
        return fail();
    return dmmCryptoOk;
}

void dmm_sha256_free(DmmSha256Stream* stream)
{
    if (stream == nullptr)
        return;
    EVP_MD_CTX_free(stream->context);
    delete stream;
}

int dmm_sha256(const std::uint8_t* data, std::size_t length, std::uint8_t* digest32)
{
    if (digest32 == nullptr || !validMessage(data, length)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    std::uint8_t local[32];
    if (!digest(data, length, local))
        return fail();
    std::memcpy(digest32, local, 32);
    dmm_secure_zero(local, sizeof local);
    return ok();
}

int dmm_ecdsa_generate(std::uint8_t* privateBlob104, std::uint8_t* publicBlob72)
{
    if (privateBlob104 == nullptr || publicBlob72 == nullptr) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    Owned<EVP_PKEY> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key)
        return fail();
    std::uint8_t blob[dmmPrivateBlobLength];
    putLE32(blob, dmmPrivateMagic);
    putLE32(blob + 4, 32);
    const bool exported = exportCoordinate(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, blob + 8)
        && exportCoordinate(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, blob + 40)
        && exportCoordinate(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, blob + 72);
    if (!exported) {
        dmm_secure_zero(blob, sizeof blob);
        return fail();
    }
    std::memcpy(privateBlob104, blob, dmmPrivateBlobLength);
    putLE32(publicBlob72, dmmPublicMagic);
    putLE32(publicBlob72 + 4, 32);
    std::memcpy(publicBlob72 + 8, blob + 8, 64);
    dmm_secure_zero(blob, sizeof blob);
    return ok();
}

int dmm_ecdsa_sign(const std::uint8_t* privateBlob, std::size_t privateLength, const std::uint8_t* message,
    std::size_t messageLength, std::uint8_t* signature64)
{
    if (signature64 == nullptr || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic)
        || !validMessage(message, messageLength)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    std::uint8_t hash[32];
    if (!digest(message, messageLength, hash))
        return fail();
    return dmm_ecdsa_sign_digest(privateBlob, privateLength, hash, signature64);
}

int dmm_ecdsa_sign_digest(
    const std::uint8_t* privateBlob, std::size_t privateLength, const std::uint8_t* digest32, std::uint8_t* signature64)
{
    if (signature64 == nullptr || digest32 == nullptr
        || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    Owned<EVP_PKEY> key = importKey(privateBlob, true);
    Owned<EVP_PKEY_CTX> ctx(key ? EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr) : nullptr);
    std::uint8_t der[80];
    std::size_t derLength = sizeof der;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 || EVP_PKEY_sign(ctx.get(), der, &derLength, digest32, 32) != 1)
        return fail();
    const std::uint8_t* cursor = der;
    Owned<ECDSA_SIG> sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(derLength)));
    if (!sig || BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), signature64, 32) != 32
        || BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), signature64 + 32, 32) != 32)
        return fail();
    return ok();
}

int dmm_ecdsa_verify(const std::uint8_t* publicBlob, std::size_t publicLength, const std::uint8_t* message,
    std::size_t messageLength, const std::uint8_t* signature, std::size_t signatureLength)
{
    if (!validBlob(publicBlob, publicLength, dmmPublicBlobLength, dmmPublicMagic)
        || !validMessage(message, messageLength)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    if (signature == nullptr || signatureLength != dmmSignatureLength) {
        setLastStatus(0);
        return dmmCryptoInvalidSignature;
    }
    std::uint8_t hash[32];
    if (!digest(message, messageLength, hash))
        return fail();
    Owned<EVP_PKEY> key = importKey(publicBlob, false);
    if (!key)
        return fail();
    Owned<ECDSA_SIG> sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature, 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature + 32, 32, nullptr);
    if (!sig || r == nullptr || s == nullptr || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return fail();
    }
    std::uint8_t* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    int result = -1;
    if (derLength > 0 && ctx && EVP_PKEY_verify_init(ctx.get()) == 1)
        result = EVP_PKEY_verify(ctx.get(), der, static_cast<std::size_t>(derLength), hash, 32);
    OPENSSL_free(der);
    if (result == 1)
        return ok();
    // A signature that does not verify (or whose r or s is out of range).
    ERR_clear_error();
    setLastStatus(0xC000A000); // the status BCrypt reports for a bad signature
    return dmmCryptoInvalidSignature;
}

int dmm_ecdsa_public_from_private(
    const std::uint8_t* privateBlob, std::size_t privateLength, std::uint8_t* publicBlob72)
{
    if (publicBlob72 == nullptr || !validBlob(privateBlob, privateLength, dmmPrivateBlobLength, dmmPrivateMagic)) {
        setLastStatus(0);
        return dmmCryptoBadArgument;
    }
    Owned<EVP_PKEY> key = importKey(privateBlob, true);
    if (!key)
        return fail();
    std::uint8_t blob[dmmPublicBlobLength];
    putLE32(blob, dmmPublicMagic);
    putLE32(blob + 4, 32);
    if (!exportCoordinate(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, blob + 8)
        || !exportCoordinate(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, blob + 40))
        return fail();
    std::memcpy(publicBlob72, blob, sizeof blob);
    return ok();
}

} // namespace zelmar
