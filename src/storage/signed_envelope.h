#pragma once

// The signed JSON envelope of measurement files and update manifests:
//
//   {"payload":<payload bytes>,
//   "signature":{"alg":"ES256","keyId":"ZMD-4","value":"<88 Base64 chars>"}}
//
// (LF after the comma and at the end). The signature covers exactly the
// payload bytes as they stand in the file; a reader finds their range with
// a byte-level scanner and verifies them without re-serializing anything.

#include "security/ecdsa.h"
#include "security/signature_service.h"
#include "storage/file_io.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace zelmar {

class SignedJSONEnvelope {
public:
    struct Range {
        std::size_t begin = 0;
        std::size_t end = 0;
        friend bool operator==(const Range&, const Range&) = default;
    };
    struct Layout {
        Range payload;
        Range signature;
    };
    struct SignatureParts {
        std::string alg;
        std::string keyId;
        ByteVector value;
    };
    struct PeekValue {
        enum class Kind { string, integer, other };
        Kind kind = Kind::other;
        std::string text;
        std::int64_t integer = 0;
    };
    struct HeaderPeek {
        std::optional<PeekValue> format;
        std::optional<PeekValue> formatVersion;
        bool reachedEnd = false;
    };
    struct TooLarge {
        std::int64_t total;
        std::int64_t limit;
    };
    // The payload is not one JSON value (with at most white space around
    // it): sealed, it would not verify.
    struct NotOneValue {};
    using SealError = std::variant<CryptoError, TooLarge, NotOneValue>;

    // White space around the payload is left out: the signature covers the
    // payload's value as a reader finds it, never the space around it. A
    // payload that is not one JSON value is refused.
    [[nodiscard]] static std::expected<std::string, SealError> seal(
        std::string_view payload, const ZmdSigner& signer, std::int64_t limit);
    // Every sealed document opens with this. A caller that builds a large
    // payload starts its string with it and seals it where it stands, so the
    // payload is never copied. The string must start with the prefix; one
    // that does not is refused as too large to seal (a caller's mistake).
    static constexpr std::string_view sealedPrefix = "{\"payload\":";
    [[nodiscard]] static std::expected<std::string, SealError> sealInPlace(
        std::string prefixAndPayload, const ZmdSigner& signer, std::int64_t limit);

    [[nodiscard]] static std::optional<SignedJSONEnvelope> parse(std::string bytes);
    // The same, offering the payload's value first to a caller that reads it
    // completely anyway: scanPayload either reads the value starting at pos,
    // leaves pos just after it and returns true, or returns false, and the
    // value is then skipped as any JSON value. Reading it once instead of
    // skipping it and reading it again later saves a pass over a large file.
    using PayloadScanner = std::function<bool(std::string_view document, std::size_t& pos, std::size_t end)>;
    [[nodiscard]] static std::optional<SignedJSONEnvelope> parse(std::string bytes, const PayloadScanner& scanPayload);
    // The same, with the signature checked by `verifier` on a second thread
    // while this one scans (a large document's hash costs about what its
    // scan does). The second thread checks the layout read from the
    // document's ends; `verified` holds its answer only when the scan found
    // that same layout, and is empty otherwise (verify() then decides).
    struct Verifying;
    [[nodiscard]] static Verifying parseVerifying(
        std::string bytes, const PayloadScanner& scanPayload, const ZmdVerifier& verifier);

    [[nodiscard]] const std::string& bytes() const noexcept { return bytes_; }
    [[nodiscard]] const Layout& layout() const noexcept { return layout_; }
    [[nodiscard]] std::string_view payloadView() const noexcept;
    [[nodiscard]] std::string payloadBytes() const { return std::string(payloadView()); }
    [[nodiscard]] HeaderPeek peekHeader() const;
    [[nodiscard]] std::optional<SignatureParts> signatureParts() const;
    [[nodiscard]] bool verify(const ZmdVerifier& verifier) const;

private:
    SignedJSONEnvelope(std::string bytes, Layout layout)
        : bytes_(std::move(bytes))
        , layout_(layout)
    {
    }
    // What sealing appends to a payload with no white space around it: the
    // signature member and the closing brace.
    [[nodiscard]] static std::expected<std::string, CryptoError> signatureSuffix(
        std::string_view payload, const ZmdSigner& signer);
    [[nodiscard]] static std::string signatureSuffix(std::string_view keyId, std::span<const std::uint8_t> signature);
    friend class SealedFileWriter;
    [[nodiscard]] static std::optional<Layout> findLayout(std::string_view bytes, const PayloadScanner& scanPayload);
    [[nodiscard]] static std::optional<Layout> layoutFromEnd(std::string_view bytes);
    [[nodiscard]] static std::optional<SignatureParts> signatureParts(std::string_view bytes, Range signature);
    [[nodiscard]] static bool verify(std::string_view bytes, const Layout& layout, const ZmdVerifier& verifier);

    std::string bytes_;
    Layout layout_;
};

// Seals a payload that is written in pieces straight into a file: each
// piece is hashed and written as it comes, so no copy of a large document
// is ever held; commit signs the digest, writes the signature member and
// puts the file in place. The pieces must make one JSON value with no white
// space around it (callers that format their own payload know theirs
// does). Until commit succeeds the file is as it was, and a writer dropped
// before then leaves nothing behind.
class SealedFileWriter {
public:
    using Error = std::variant<CryptoError, SignedJSONEnvelope::TooLarge, StorageError>;

    [[nodiscard]] static std::expected<SealedFileWriter, Error> create(
        const std::filesystem::path& target, const ZmdSigner& signer, std::int64_t limit);

    // Past the limit nothing more is written; the pieces are only counted,
    // so commit can say how large the document would have been.
    [[nodiscard]] std::expected<void, Error> write(std::string_view piece);
    [[nodiscard]] std::expected<void, Error> commit();

private:
    SealedFileWriter(AtomicFileWriter file, Sha256Stream hash, const ZmdSigner& signer, std::int64_t limit,
        std::int64_t suffixSize)
        : file_(std::move(file))
        , hash_(std::move(hash))
        , signer_(&signer)
        , limit_(limit)
        , suffixSize_(suffixSize)
    {
    }

    AtomicFileWriter file_;
    Sha256Stream hash_;
    const ZmdSigner* signer_;
    std::int64_t limit_;
    std::int64_t suffixSize_; // of the signature member and what closes the document
    std::int64_t payloadSize_ = 0;
};

struct SignedJSONEnvelope::Verifying {
    std::optional<SignedJSONEnvelope> envelope;
    std::optional<bool> verified;
};

} // namespace zelmar
