#include "storage/signed_envelope.h"
#include "storage/json_document.h"

#include "core/alongside.h"
#include "core/text_encoding.h"
#include "storage/base64.h"
#include "storage/json_scan.h"
#include "storage/json_write.h"

#include <nlohmann/json.hpp>


namespace zelmar {

namespace {

using JsonScan::AfterMember;
using JsonScan::readKey;
using JsonScan::skipSpace;
using JsonScan::skipValue;

SignedJSONEnvelope::PeekValue classify(std::string_view value)
{
    using Kind = SignedJSONEnvelope::PeekValue::Kind;
    SignedJSONEnvelope::PeekValue result;
    if (value.empty())
        return result;
    if (value.front() == '"') {
        const std::string_view content = value.substr(1, value.size() - 2);
        if (content.find('\\') == std::string_view::npos) {
            result.kind = Kind::string;
            result.text = text::utf16ToUtf8(text::utf8ToUtf16(content)); // invalid sequences replaced
            return result;
        }
        const auto decoded = parseJsonDocument(value);
        if (!decoded.is_discarded() && decoded.is_string()) {
            result.kind = Kind::string;
            result.text = decoded.get<std::string>();
        }
        return result;
    }
    if (JsonScan::parseInteger(value, result.integer))
        result.kind = Kind::integer;
    return result;
}

} // namespace

std::expected<std::string, SignedJSONEnvelope::SealError> SignedJSONEnvelope::seal(
    std::string_view payload, const ZmdSigner& signer, std::int64_t limit)
{
    // One value, as a reader will find it (the in-place callers build
    // theirs and know it is one).
    std::size_t pos = 0;
    JsonScan::skipSpace(payload, pos, payload.size());
    if (!skipValue(payload, pos, payload.size(), 1))
        return std::unexpected(SealError(NotOneValue {}));
    JsonScan::skipSpace(payload, pos, payload.size());
    if (pos != payload.size())
        return std::unexpected(SealError(NotOneValue {}));
    std::string document;
    document.reserve(sealedPrefix.size() + payload.size() + 256);
    document += sealedPrefix;
    document += payload;
    return sealInPlace(std::move(document), signer, limit);
}

std::expected<std::string, SignedJSONEnvelope::SealError> SignedJSONEnvelope::sealInPlace(
    std::string document, const ZmdSigner& signer, std::int64_t limit)
{
    if (!document.starts_with(sealedPrefix))
        return std::unexpected(SealError(TooLarge { static_cast<std::int64_t>(document.size()), 0 }));
    // What a reader takes as the payload has no white space around it; the
    // signature must cover exactly that.
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (document.size() > sealedPrefix.size() && isSpace(document.back()))
        document.pop_back();
    std::size_t lead = sealedPrefix.size();
    while (lead < document.size() && isSpace(document[lead]))
        ++lead;
    document.erase(sealedPrefix.size(), lead - sealedPrefix.size());
    auto suffix = signatureSuffix(std::string_view(document).substr(sealedPrefix.size()), signer);
    if (!suffix)
        return std::unexpected(SealError(suffix.error()));
    const auto total = static_cast<std::int64_t>(document.size() + suffix->size());
    if (total > limit)
        return std::unexpected(SealError(TooLarge { total, limit }));
    document += *suffix;
    return document;
}

std::expected<std::string, CryptoError> SignedJSONEnvelope::signatureSuffix(
    std::string_view payload, const ZmdSigner& signer)
{
    auto signature = signer.sign(asBytes(payload));
    if (!signature)
        return std::unexpected(signature.error());
    return signatureSuffix(signer.keyId(), *signature);
}

std::string SignedJSONEnvelope::signatureSuffix(std::string_view keyId, std::span<const std::uint8_t> signature)
{
    std::string suffix = ",\n\"signature\":{\"alg\":\"ES256\",\"keyId\":";
    appendJsonString(suffix, keyId);
    suffix += ",\"value\":\"" + Base64::encode(signature) + "\"}}\n";
    return suffix;
}

std::expected<SealedFileWriter, SealedFileWriter::Error> SealedFileWriter::create(
    const std::filesystem::path& target, const ZmdSigner& signer, std::int64_t limit)
{
    auto hash = Sha256Stream::create();
    if (!hash)
        return std::unexpected(Error(hash.error()));
    auto file = AtomicFileWriter::create(target);
    if (!file)
        return std::unexpected(Error(file.error()));
    if (auto opened = file->write(SignedJSONEnvelope::sealedPrefix); !opened)
        return std::unexpected(Error(opened.error()));
    // Every signature (r and s, 32 bytes each) has the same length, so the
    // sealed size is known before the signing.
    const std::uint8_t anySignature[64] {};
    const auto suffixSize = static_cast<std::int64_t>(
        SignedJSONEnvelope::signatureSuffix(signer.keyId(), anySignature).size());
    return SealedFileWriter(std::move(*file), std::move(*hash), signer, limit, suffixSize);
}

std::expected<void, SealedFileWriter::Error> SealedFileWriter::write(std::string_view piece)
{
    payloadSize_ += static_cast<std::int64_t>(piece.size());
    if (static_cast<std::int64_t>(SignedJSONEnvelope::sealedPrefix.size()) + payloadSize_ + suffixSize_ > limit_)
        return {};
    if (auto hashed = hash_.update(asBytes(piece)); !hashed)
        return std::unexpected(Error(hashed.error()));
    if (auto written = file_.write(piece); !written)
        return std::unexpected(Error(written.error()));
    return {};
}

std::expected<void, SealedFileWriter::Error> SealedFileWriter::commit()
{
    const std::int64_t total = static_cast<std::int64_t>(SignedJSONEnvelope::sealedPrefix.size()) + payloadSize_
        + suffixSize_;
    if (total > limit_)
        return std::unexpected(Error(SignedJSONEnvelope::TooLarge { total, limit_ }));
    const auto digest = hash_.finish();
    if (!digest)
        return std::unexpected(Error(digest.error()));
    const auto signature = signer_->signDigest(*digest);
    if (!signature)
        return std::unexpected(Error(signature.error()));
    if (auto written = file_.write(SignedJSONEnvelope::signatureSuffix(signer_->keyId(), *signature)); !written)
        return std::unexpected(Error(written.error()));
    if (auto committed = file_.commit(); !committed)
        return std::unexpected(Error(committed.error()));
    return {};
}

std::optional<SignedJSONEnvelope> SignedJSONEnvelope::parse(std::string bytes)
{
    return parse(std::move(bytes), {});
}

std::optional<SignedJSONEnvelope> SignedJSONEnvelope::parse(std::string bytes, const PayloadScanner& scanPayload)
{
    const auto layout = findLayout(bytes, scanPayload);
    if (!layout)
        return std::nullopt;
    return SignedJSONEnvelope(std::move(bytes), *layout);
}

std::optional<SignedJSONEnvelope::Layout> SignedJSONEnvelope::findLayout(
    std::string_view b, const PayloadScanner& scanPayload)
{
    const std::size_t end = b.size();
    std::size_t pos = b.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    skipSpace(b, pos, end);
    if (pos >= end || b[pos] != '{')
        return std::nullopt;
    ++pos;
    std::optional<Range> payload, signature;
    for (;;) {
        std::string_view key;
        if (!readKey(b, pos, end, key))
            return std::nullopt; // also the empty object
        const std::size_t valueStart = pos;
        std::size_t scanned = pos;
        if (key == "payload" && !payload && scanPayload && scanPayload(b, scanned, end))
            pos = scanned;
        else if (!skipValue(b, pos, end, 1))
            return std::nullopt;
        const Range range { valueStart, pos };
        if (key == "payload") {
            if (payload)
                return std::nullopt;
            payload = range;
        } else if (key == "signature") {
            if (signature)
                return std::nullopt;
            signature = range;
        }
        const auto next = JsonScan::afterMember(b, pos, end);
        if (next == AfterMember::invalid)
            return std::nullopt;
        if (next == AfterMember::closed)
            break;
    }
    skipSpace(b, pos, end);
    if (pos != end || !payload || !signature || b[payload->begin] != '{' || b[signature->begin] != '{')
        return std::nullopt;
    return Layout { *payload, *signature };
}

// Where a sealed document's parts are, read from its two ends: the payload
// key at the start, the signature as the last member. Only a guess to check
// the signature early; the full scan decides.
std::optional<SignedJSONEnvelope::Layout> SignedJSONEnvelope::layoutFromEnd(std::string_view b)
{
    std::size_t pos = b.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    skipSpace(b, pos, b.size());
    std::string_view key;
    if (pos >= b.size() || b[pos] != '{' || !readKey(b, ++pos, b.size(), key) || key != "payload")
        return std::nullopt;
    const std::size_t payloadBegin = pos;
    std::size_t end = b.size();
    const auto backOverSpace = [&b](std::size_t& at) {
        while (at > 0 && JsonScan::isSpace(b[at - 1]))
            --at;
    };
    backOverSpace(end);
    if (end == 0 || b[end - 1] != '}')
        return std::nullopt;
    std::size_t signatureEnd = end - 1;
    backOverSpace(signatureEnd);
    const std::size_t name = b.rfind("\"signature\"", signatureEnd);
    if (name == std::string_view::npos || name <= payloadBegin)
        return std::nullopt;
    std::size_t signatureBegin = name;
    // A real signature member is some 150 bytes: a guess of a large one
    // would only make the second thread decode what the scan may refuse.
    constexpr std::size_t largestSignature = 1024;
    if (!readKey(b, signatureBegin, signatureEnd, key) || signatureBegin >= signatureEnd || b[signatureBegin] != '{'
        || b[signatureEnd - 1] != '}' || signatureEnd - signatureBegin > largestSignature)
        return std::nullopt;
    std::size_t payloadEnd = name;
    backOverSpace(payloadEnd);
    if (payloadEnd == 0 || b[payloadEnd - 1] != ',')
        return std::nullopt;
    --payloadEnd;
    backOverSpace(payloadEnd);
    if (payloadEnd <= payloadBegin)
        return std::nullopt;
    return Layout { { payloadBegin, payloadEnd }, { signatureBegin, signatureEnd } };
}

SignedJSONEnvelope::Verifying SignedJSONEnvelope::parseVerifying(
    std::string bytes, const PayloadScanner& scanPayload, const ZmdVerifier& verifier)
{
    // Below this the second thread would cost more than it saves.
    constexpr std::size_t worthAThread = 1 << 20;
    const std::string_view b = bytes;
    const auto guess = b.size() >= worthAThread ? layoutFromEnd(b) : std::nullopt;
    bool guessVerified = false;
    std::optional<Layout> layout;
    const auto scan = [&] { layout = findLayout(b, scanPayload); };
    if (guess)
        runAlongside(scan, [&] { guessVerified = verify(b, *guess, verifier); });
    else
        scan();
    // Both only read the bytes; they are moved once both are done.
    if (!layout)
        return {};
    Verifying result { SignedJSONEnvelope(std::move(bytes), *layout), std::nullopt };
    if (guess && guess->payload == layout->payload && guess->signature == layout->signature)
        result.verified = guessVerified;
    return result;
}

std::string_view SignedJSONEnvelope::payloadView() const noexcept
{
    return std::string_view(bytes_).substr(layout_.payload.begin, layout_.payload.end - layout_.payload.begin);
}

SignedJSONEnvelope::HeaderPeek SignedJSONEnvelope::peekHeader() const
{
    HeaderPeek peek;
    const std::string_view b = bytes_;
    const std::size_t end = layout_.payload.end;
    std::size_t pos = layout_.payload.begin;
    if (pos >= end || b[pos] != '{')
        return peek;
    ++pos;
    skipSpace(b, pos, end);
    if (pos < end && b[pos] == '}') {
        ++pos;
        skipSpace(b, pos, end);
        peek.reachedEnd = pos == end;
        return peek;
    }
    for (;;) {
        std::string_view key;
        if (!readKey(b, pos, end, key))
            return peek;
        const std::size_t valueStart = pos;
        if (!skipValue(b, pos, end, 2))
            return peek;
        const std::string_view value = b.substr(valueStart, pos - valueStart);
        if (key == "format" && !peek.format)
            peek.format = classify(value);
        else if (key == "formatVersion" && !peek.formatVersion)
            peek.formatVersion = classify(value);
        if (peek.format && peek.formatVersion)
            return peek;
        const auto next = JsonScan::afterMember(b, pos, end);
        if (next == AfterMember::invalid)
            return peek;
        if (next == AfterMember::another)
            continue;
        skipSpace(b, pos, end);
        peek.reachedEnd = pos == end;
        return peek;
    }
}

std::optional<SignedJSONEnvelope::SignatureParts> SignedJSONEnvelope::signatureParts() const
{
    return signatureParts(bytes_, layout_.signature);
}

std::optional<SignedJSONEnvelope::SignatureParts> SignedJSONEnvelope::signatureParts(
    std::string_view bytes, Range signature)
{
    const std::string_view text = bytes.substr(signature.begin, signature.end - signature.begin);
    const auto json = parseJsonDocument(text);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto alg = json.find("alg");
    const auto keyId = json.find("keyId");
    const auto value = json.find("value");
    if (alg == json.end() || !alg->is_string() || keyId == json.end() || !keyId->is_string() || value == json.end()
        || !value->is_string())
        return std::nullopt;
    auto decoded = Base64::decode(value->get_ref<const std::string&>());
    if (!decoded)
        return std::nullopt;
    return SignatureParts { alg->get<std::string>(), keyId->get<std::string>(), std::move(*decoded) };
}

bool SignedJSONEnvelope::verify(const ZmdVerifier& verifier) const
{
    return verify(bytes_, layout_, verifier);
}

bool SignedJSONEnvelope::verify(std::string_view bytes, const Layout& layout, const ZmdVerifier& verifier)
{
    const auto parts = signatureParts(bytes, layout.signature);
    if (!parts || parts->alg != "ES256")
        return false;
    const std::string_view payload = bytes.substr(layout.payload.begin, layout.payload.end - layout.payload.begin);
    return verifier.verify(asBytes(payload), parts->value, parts->keyId);
}

} // namespace zelmar
