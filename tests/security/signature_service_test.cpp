#include "security/signature_service.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zelmar {
namespace {

ByteVector bytes(std::string_view text)
{
    return ByteVector(text.begin(), text.end());
}

TEST(SealedBytes, RoundTripsAndRefusesBadSeeds)
{
    for (std::size_t n : { 1u, 32u, 33u, 72u, 104u }) {
        ByteVector plain(n);
        for (std::size_t i = 0; i < n; ++i)
            plain[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const auto sealed = SealedBytes::seal(plain);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed->seed.size(), 32u);
        EXPECT_NE(sealed->cipher, plain);
        EXPECT_EQ(**sealed->unseal(), plain);
        SealedBytes shortSeed = *sealed;
        shortSeed.seed.pop_back();
        EXPECT_FALSE(*shortSeed.unseal());
    }
    EXPECT_FALSE(*(SealedBytes { ByteVector(32, 1), {} }).unseal());
    // Fresh seeds: sealing twice gives different ciphers.
    EXPECT_NE(SealedBytes::seal(bytes("same"))->cipher, SealedBytes::seal(bytes("same"))->cipher);
    // The keystream is the SHA-256 chain: 33 bytes span two blocks.
    const auto stream = sealKeystream(ByteVector(32, 0), 33);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->size(), 33u);
}

TEST(ZmdSignatureService, SignsWithTheCurrentKey)
{
    const auto& service = ZmdSignatureService::shared();
    EXPECT_EQ(service.keyId(), "ZMD-4");
    const ByteVector payload = bytes("{\"format\":\"ZELMAR-ZMD\"}");
    const auto signature = service.sign(payload);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(service.verify(payload, *signature, "ZMD-4"));
    EXPECT_FALSE(service.verify(payload, *signature, "ZMD-3"));
    EXPECT_FALSE(service.verify(bytes("{}"), *signature, "ZMD-4"));
    ByteVector longer = *signature;
    longer.push_back(0);
    EXPECT_FALSE(service.verify(payload, longer, "ZMD-4"));
    EXPECT_FALSE(service.verify(payload, {}, "ZMD-4"));
    ASSERT_EQ(ZmdKeyCatalog::publicKeys().size(), 1u);
    EXPECT_EQ(ZmdKeyCatalog::publicKeys()[0].first, "ZMD-4");
    EXPECT_EQ(*EcdsaP256::publicKey(**ZmdKeyCatalog::privateKey().unseal()), ZmdKeyCatalog::publicKeys()[0].second);
}

TEST(ZmdSignatureService, DamagedOrMissingKeys)
{
    const auto pair = EcdsaP256::generateKeyPair();
    ASSERT_TRUE(pair);
    // A catalog entry that unseals to 71 bytes is no key at all.
    ByteVector shortKey(pair->publicKey.begin(), pair->publicKey.end() - 1);
    std::map<std::string, SealedBytes, std::less<>> keys { { "K", *SealedBytes::seal(shortKey) } };
    const ZmdSignatureService damaged("K", std::nullopt, keys);
    const auto noKey = damaged.sign(bytes("p"));
    ASSERT_FALSE(noKey);
    EXPECT_EQ(noKey.error().text(), "CryptoError(sign: BAD_ARGUMENT(2), NTSTATUS=0x0, 簽章金鑰不可用)");

    const ZmdSignatureService shortPrivate("K", *SealedBytes::seal(ByteVector(103, 1)), keys);
    EXPECT_EQ(shortPrivate.sign(bytes("p")).error().detail, "簽章金鑰資料損毀");

    const ZmdSignatureService good("K", *SealedBytes::seal(pair->privateKey), keys);
    const auto signature = good.sign(bytes("p"));
    ASSERT_TRUE(signature);
    EXPECT_FALSE(good.verify(bytes("p"), *signature, "K")); // the 71-byte key verifies nothing
}

TEST(UpdateKeyCatalog, DecodesOnlyWellFormedKeys)
{
    const std::string good = UpdateKeyCatalog::entryTexts().at(0).second;
    ASSERT_EQ(good.size(), 144u);
    EXPECT_EQ(UpdateKeyCatalog::entries().size(), 1u);
    std::string lower = good;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(UpdateKeyCatalog::entries({ { "A", lower } }).size(), 1u);
    EXPECT_TRUE(UpdateKeyCatalog::entries({ { "A", good.substr(0, 143) } }).empty());
    EXPECT_TRUE(UpdateKeyCatalog::entries({ { "A", good.substr(0, 142) + "G0" } }).empty());
    EXPECT_TRUE(UpdateKeyCatalog::entries({ { "A", good.substr(0, 142) } }).empty());
}

TEST(UpdateSignatureService, VerifiesWithTheDevelopmentKey)
{
    // What the build embeds: the development key only in development builds.
    if (!UpdateKeyCatalog::isDevelopmentKey())
        GTEST_SKIP() << "built with a release update key";
    std::ifstream in(testing::fixturePath("update-dev-key.private.hex"));
    std::string privateHex;
    in >> privateHex;
    const auto privateKey = decodeHex(privateHex);
    ASSERT_TRUE(privateKey);
    const ByteVector manifest = bytes("{\"format\":\"ZELMAR-UPDATE\"}");
    const auto signature = EcdsaP256::sign(manifest, *privateKey);
    ASSERT_TRUE(signature);
    const auto& service = UpdateSignatureService::shared();
    EXPECT_TRUE(service.verify(manifest, *signature, "UPD-1"));
    EXPECT_FALSE(service.verify(manifest, *signature, "UPD-2"));
    EXPECT_FALSE(service.verify(bytes("{}"), *signature, "UPD-1"));
    // The measurement-file key is not an update key.
    EXPECT_FALSE(service.verify(manifest, *ZmdSignatureService::shared().sign(manifest), "UPD-1"));
}

} // namespace
} // namespace zelmar
