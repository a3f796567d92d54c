#pragma once

// The signed update manifest: the maker's list of released versions, each
// with its installer's URL, size and SHA-256. Nothing downstream sees a
// manifest that was not decoded and validated here. The document is the
// signed JSON envelope around this payload:
//
//   {"format":"ZELMAR-UPDATE","formatVersion":1,"name":"ZELMAR DMM-5174K",
//    "latest":"1.4.0","versions":[{"version":"1.4.0","channel":"stable",
//    "release_date":"2025-03-14","mandatory":false,"min_version":"1.0.0",
//    "notes":{"en-US":"...","zh-TW":"..."},"url":"https://.../setup.exe",
//    "size":12345678,"sha256":"<64 lower-case hex>"}]}

#include "security/signature_service.h"
#include "update/semantic_version.h"

#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zelmar {

struct UpdateRelease {
    SemanticVersion version;
    std::string channel;
    std::string releaseDate;
    bool mandatory = false;
    std::optional<SemanticVersion> minVersion;
    std::map<std::string, std::string> notes;
    std::string url;
    std::int64_t size = 0;
    std::string sha256;

    friend bool operator==(const UpdateRelease&, const UpdateRelease&) = default;
};

struct UpdateManifest {
    std::string name;
    std::string latest;
    std::vector<UpdateRelease> releases;

    // The structural rules; the first broken one is the error's reason.
    [[nodiscard]] std::expected<void, struct UpdateManifestValidationError> validate(bool requireLatestListed) const;
};

struct UpdateManifestValidationError {
    std::string reason;
};

struct UpdateManifestError {
    enum class Kind { unsupportedVersion, nameMismatch, notManifest, tampered };
    Kind kind = Kind::notManifest;
    std::int64_t version = 0;
    std::string name;

    static UpdateManifestError unsupportedVersion(std::int64_t v) { return { Kind::unsupportedVersion, v, {} }; }
    static UpdateManifestError nameMismatch(std::string n) { return { Kind::nameMismatch, 0, std::move(n) }; }
    static UpdateManifestError notManifest() { return { Kind::notManifest, 0, {} }; }
    static UpdateManifestError tampered() { return { Kind::tampered, 0, {} }; }
    friend bool operator==(const UpdateManifestError&, const UpdateManifestError&) = default;
};

// The JSON value model of the writing direction: no null, no floats;
// objects keep their keys in the order they were built.
struct JSONNode {
    std::variant<std::string, std::int64_t, bool, std::vector<JSONNode>, std::vector<std::pair<std::string, JSONNode>>>
        value;
    [[nodiscard]] std::string serialized() const;
};

namespace UpdateManifestCodec {

inline constexpr std::int64_t maximumDocument = 1'048'576;
inline constexpr std::string_view formatMagic = "ZELMAR-UPDATE";
inline constexpr std::string_view productName = "ZELMAR DMM-5174K";

[[nodiscard]] std::expected<UpdateManifest, UpdateManifestError> decode(
    std::string data, const ZmdVerifier& verifier, std::string_view expectedName);
[[nodiscard]] std::expected<UpdateManifest, UpdateManifestValidationError> decodePayload(
    std::string_view payload, bool requireFormat);
// The publishing direction: validated with the latest version listed, then
// sealed (at most 1 MiB).
[[nodiscard]] std::expected<std::string, std::string> encode(const UpdateManifest& manifest, const ZmdSigner& signer);

} // namespace UpdateManifestCodec

// A signer over a plain private key blob, for the publishing tool and tests.
class PrivateKeySigner final : public ZmdSigner {
public:
    PrivateKeySigner(std::string keyId, ByteVector privateKey)
        : keyId_(std::move(keyId))
        , privateKey_(std::move(privateKey))
    {
    }
    ~PrivateKeySigner() override { SecureMemory::zero(privateKey_); }
    [[nodiscard]] std::string keyId() const override { return keyId_; }
    [[nodiscard]] std::expected<ByteVector, CryptoError> signDigest(
        std::span<const std::uint8_t, 32> digest) const override
    {
        return EcdsaP256::signDigest(digest, privateKey_);
    }

private:
    std::string keyId_;
    ByteVector privateKey_;
};

} // namespace zelmar
