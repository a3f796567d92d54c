#pragma once

// The signed JSON envelope of measurement files and update manifests:
//
//   {"payload":<payload bytes>,
//   "signature":{"alg":"ES256","keyId":"ZMD-4","value":"<88 Base64 chars>"}}
//
// (LF after the comma and at the end). The signature covers exactly the
// payload bytes as they stand in the file; a reader finds their range with
// a byte-level scanner and verifies them without re-serializing anything.

#include "security/signature_service.h"

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
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
    [[nodiscard]] static std::optional<Layout> findLayout(std::string_view bytes, const PayloadScanner& scanPayload);
    [[nodiscard]] static std::optional<Layout> layoutFromEnd(std::string_view bytes);
    [[nodiscard]] static std::optional<SignatureParts> signatureParts(std::string_view bytes, Range signature);
    [[nodiscard]] static bool verify(std::string_view bytes, const Layout& layout, const ZmdVerifier& verifier);

    std::string bytes_;
    Layout layout_;
};

struct SignedJSONEnvelope::Verifying {
    std::optional<SignedJSONEnvelope> envelope;
    std::optional<bool> verified;
};

} // namespace zelmar
