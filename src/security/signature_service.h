#pragma once

// The built-in key catalogs and the services that sign and verify with them.
// Measurement files are signed with the built-in private key under the
// current identifier ("ZMD-4") and verified against the built-in public keys
// chosen by identifier. Update manifests are verified against the update
// public keys ("UPD-1"); the program never holds their private key.

#include "security/sealed_bytes.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zelmar {

// What the file formats need of a signer and a verifier.
class ZmdSigner {
public:
    virtual ~ZmdSigner() = default;
    [[nodiscard]] virtual std::string keyId() const = 0;
    // ES256 over a message's SHA-256 digest, made as the message was written.
    [[nodiscard]] virtual std::expected<ByteVector, CryptoError> signDigest(
        std::span<const std::uint8_t, 32> digest) const = 0;
    // The same over a whole message in memory.
    [[nodiscard]] std::expected<ByteVector, CryptoError> sign(std::span<const std::uint8_t> payload) const;
};

class ZmdVerifier {
public:
    virtual ~ZmdVerifier() = default;
    [[nodiscard]] virtual bool verify(std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signature,
        std::string_view keyId) const = 0;
};

struct ZmdPublicKeyEntry {
    std::string keyId;
    SealedBytes key;
};

namespace ZmdKeyCatalog {
[[nodiscard]] std::string currentKeyId();
[[nodiscard]] const SealedBytes& privateKey();
[[nodiscard]] const std::vector<ZmdPublicKeyEntry>& publicKeyEntries();
// Every entry that unseals to exactly 72 bytes.
[[nodiscard]] std::vector<std::pair<std::string, ByteVector>> publicKeys();
} // namespace ZmdKeyCatalog

class ZmdSignatureService final : public ZmdSigner, public ZmdVerifier {
public:
    ZmdSignatureService(std::string currentKeyId, std::optional<SealedBytes> privateKey,
        std::map<std::string, SealedBytes, std::less<>> publicKeys);

    // The one instance built from the catalog on first use.
    [[nodiscard]] static const ZmdSignatureService& shared();

    [[nodiscard]] std::string keyId() const override { return currentKeyId_; }
    [[nodiscard]] std::expected<ByteVector, CryptoError> signDigest(
        std::span<const std::uint8_t, 32> digest) const override;
    [[nodiscard]] bool verify(std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signature,
        std::string_view keyId) const override;

private:
    std::string currentKeyId_;
    std::optional<SealedBytes> privateKey_;
    std::map<std::string, SealedBytes, std::less<>> publicKeys_;
};

namespace UpdateKeyCatalog {
// (identifier, public key as 144 hexadecimal characters).
[[nodiscard]] const std::vector<std::pair<std::string, std::string>>& entryTexts();
// The entries that decode to exactly 72 bytes.
[[nodiscard]] std::vector<std::pair<std::string, ByteVector>> entries(
    const std::vector<std::pair<std::string, std::string>>& texts = entryTexts());
// True when the build trusts the development key, whose private half is
// public: such a program is a development build and says so.
[[nodiscard]] bool isDevelopmentKey() noexcept;
} // namespace UpdateKeyCatalog

class UpdateSignatureService final : public ZmdVerifier {
public:
    explicit UpdateSignatureService(std::map<std::string, ByteVector, std::less<>> publicKeys);
    [[nodiscard]] static const UpdateSignatureService& shared();

    [[nodiscard]] bool verify(std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signature,
        std::string_view keyId) const override;

private:
    std::map<std::string, ByteVector, std::less<>> publicKeys_;
};

// Hexadecimal text (either case, even length) to bytes; none otherwise.
[[nodiscard]] std::optional<ByteVector> decodeHex(std::string_view text);

} // namespace zelmar
