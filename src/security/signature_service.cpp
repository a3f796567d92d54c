#include "security/signature_service.h"

#include "core/text_encoding.h"

namespace zelmar {

ZmdSignatureService::ZmdSignatureService(std::string currentKeyId, std::optional<SealedBytes> privateKey,
    std::map<std::string, SealedBytes, std::less<>> publicKeys)
    : currentKeyId_(std::move(currentKeyId))
    , privateKey_(std::move(privateKey))
    , publicKeys_(std::move(publicKeys))
{
}

const ZmdSignatureService& ZmdSignatureService::shared()
{
    // Function-local statics are built once, thread-safely, on first use.
    static const ZmdSignatureService service = [] {
        std::map<std::string, SealedBytes, std::less<>> keys;
        for (const auto& entry : ZmdKeyCatalog::publicKeyEntries())
            keys.emplace(entry.keyId, entry.key);
        return ZmdSignatureService(ZmdKeyCatalog::currentKeyId(), ZmdKeyCatalog::privateKey(), std::move(keys));
    }();
    return service;
}

std::expected<ByteVector, CryptoError> ZmdSigner::sign(std::span<const std::uint8_t> payload) const
{
    const auto digest = EcdsaP256::sha256(payload);
    if (!digest)
        return std::unexpected(digest.error());
    return signDigest(std::span<const std::uint8_t, 32>(digest->data(), 32));
}

std::expected<ByteVector, CryptoError> ZmdSignatureService::signDigest(std::span<const std::uint8_t, 32> digest) const
{
    const auto unavailable = [](const char* detail) {
        return std::unexpected(CryptoError { "sign", 2, 0, std::string(detail) });
    };
    if (!privateKey_)
        return unavailable("簽章金鑰不可用");
    auto unsealed = privateKey_->unseal();
    if (!unsealed)
        return std::unexpected(unsealed.error());
    if (!*unsealed)
        return unavailable("簽章金鑰不可用");
    ByteVector& key = **unsealed;
    if (key.size() != 104) {
        SecureMemory::zero(key);
        return unavailable("簽章金鑰資料損毀");
    }
    auto signature = EcdsaP256::signDigest(digest, key);
    SecureMemory::zero(key);
    return signature;
}

bool ZmdSignatureService::verify(
    std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signature, std::string_view keyId) const
{
    if (signature.size() != 64)
        return false;
    const auto it = publicKeys_.find(keyId);
    if (it == publicKeys_.end())
        return false;
    const auto key = it->second.unseal();
    if (!key || !*key || (*key)->size() != 72)
        return false;
    return EcdsaP256::verify(payload, signature, **key);
}

std::vector<std::pair<std::string, ByteVector>> ZmdKeyCatalog::publicKeys()
{
    std::vector<std::pair<std::string, ByteVector>> keys;
    for (const auto& entry : publicKeyEntries()) {
        auto key = entry.key.unseal();
        if (key && *key && (*key)->size() == 72)
            keys.emplace_back(entry.keyId, std::move(**key));
    }
    return keys;
}

std::optional<ByteVector> decodeHex(std::string_view text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    const auto nibble = [](char c) { return text::hexDigitValue(c); };
    ByteVector bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::vector<std::pair<std::string, ByteVector>> UpdateKeyCatalog::entries(
    const std::vector<std::pair<std::string, std::string>>& texts)
{
    std::vector<std::pair<std::string, ByteVector>> keys;
    for (const auto& [id, hex] : texts) {
        auto bytes = decodeHex(hex);
        if (bytes && bytes->size() == 72)
            keys.emplace_back(id, std::move(*bytes));
    }
    return keys;
}

UpdateSignatureService::UpdateSignatureService(std::map<std::string, ByteVector, std::less<>> publicKeys)
    : publicKeys_(std::move(publicKeys))
{
}

const UpdateSignatureService& UpdateSignatureService::shared()
{
    static const UpdateSignatureService service = [] {
        std::map<std::string, ByteVector, std::less<>> keys;
        for (auto& [id, key] : UpdateKeyCatalog::entries())
            keys.emplace(id, std::move(key));
        return UpdateSignatureService(std::move(keys));
    }();
    return service;
}

bool UpdateSignatureService::verify(
    std::span<const std::uint8_t> payload, std::span<const std::uint8_t> signature, std::string_view keyId) const
{
    if (signature.size() != 64)
        return false;
    const auto it = publicKeys_.find(keyId);
    if (it == publicKeys_.end() || it->second.size() != 72)
        return false;
    return EcdsaP256::verify(payload, signature, it->second);
}

} // namespace zelmar
