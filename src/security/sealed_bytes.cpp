#include "security/sealed_bytes.h"
#include "security/crypto_platform.h"

#include <random>

namespace zelmar {

namespace {

constexpr std::uint8_t kLabel[16] = { 'Z', 'E', 'L', 'M', 'A', 'R', '-', 'Z', 'M', 'D', '-', 'S', 'E', 'A', 'L', '1' };

} // namespace

std::expected<ByteVector, CryptoError> sealKeystream(std::span<const std::uint8_t> seed, std::size_t length)
{
    ByteVector stream;
    stream.reserve(length + 32);
    ByteVector block(sizeof kLabel + seed.size() + 4);
    std::copy(std::begin(kLabel), std::end(kLabel), block.begin());
    std::copy(seed.begin(), seed.end(), block.begin() + sizeof kLabel);
    for (std::uint32_t i = 0; stream.size() < length; ++i) {
        for (int k = 0; k < 4; ++k)
            block[block.size() - 4 + k] = static_cast<std::uint8_t>(i >> (8 * k));
        auto digest = EcdsaP256::sha256(block);
        if (!digest) {
            SecureMemory::zero(stream);
            return std::unexpected(digest.error());
        }
        stream.insert(stream.end(), digest->begin(), digest->end());
        SecureMemory::zero(*digest);
    }
    stream.resize(length);
    return stream;
}

std::expected<SealedBytes, CryptoError> SealedBytes::seal(std::span<const std::uint8_t> plain)
{
    std::random_device random;
    SealedBytes sealed;
    sealed.seed.resize(32);
    for (auto& b : sealed.seed) {
        const std::uint64_t value = (std::uint64_t { random() } << 32) | random();
        b = static_cast<std::uint8_t>(value & 0xFF);
    }
    auto stream = sealKeystream(sealed.seed, plain.size());
    if (!stream)
        return std::unexpected(stream.error());
    sealed.cipher.resize(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
        sealed.cipher[i] = plain[i] ^ (*stream)[i];
    SecureMemory::zero(*stream);
    return sealed;
}

std::expected<std::optional<ByteVector>, CryptoError> SealedBytes::unseal() const
{
    if (seed.size() != 32 || cipher.empty())
        return std::optional<ByteVector>();
    auto stream = sealKeystream(seed, cipher.size());
    if (!stream)
        return std::unexpected(stream.error());
    ByteVector plain(cipher.size());
    for (std::size_t i = 0; i < cipher.size(); ++i)
        plain[i] = cipher[i] ^ (*stream)[i];
    SecureMemory::zero(*stream);
    return std::optional<ByteVector>(std::move(plain));
}

} // namespace zelmar
