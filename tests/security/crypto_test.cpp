#include "security/crypto_platform.h"
#include "security/ecdsa.h"
#include "security/signature_service.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zelmar {
namespace {

ByteVector bytes(std::string_view text)
{
    return ByteVector(text.begin(), text.end());
}

ByteVector hex(std::string_view text)
{
    auto decoded = decodeHex(text);
    EXPECT_TRUE(decoded) << text;
    return decoded.value_or(ByteVector {});
}

std::string toHex(std::span<const std::uint8_t> b)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string s;
    for (auto x : b) {
        s += digits[x >> 4];
        s += digits[x & 15];
    }
    return s;
}

// RFC 6979, appendix A.2.5: the P-256 key and its deterministic signatures.
ByteVector rfc6979PublicKey()
{
    return hex("4543533120000000"
               "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"
               "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299");
}

ByteVector rfc6979PrivateKey()
{
    ByteVector key = hex("4543533220000000"
                         "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"
                         "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299"
                         "C9AFA9D845BA75166B5C215767B1D6934E50C3DB36E89B127B8A622B120F6721");
    return key;
}

TEST(Sha256, KnownAnswers)
{
    EXPECT_EQ(*EcdsaP256::sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(*EcdsaP256::sha256Hex(bytes("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(*EcdsaP256::sha256Hex(bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
        "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const ByteVector million(1'000'000, 'a');
    EXPECT_EQ(*EcdsaP256::sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, KnownAnswersInPieces)
{
    const auto streamed = [](std::span<const std::uint8_t> data, std::size_t piece) {
        auto stream = Sha256Stream::create();
        EXPECT_TRUE(stream);
        for (std::size_t at = 0; at < data.size(); at += piece)
            EXPECT_TRUE(stream->update(data.subspan(at, std::min(piece, data.size() - at))));
        return stream->finishHex().value();
    };
    EXPECT_EQ(streamed({}, 1), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const ByteVector abc = bytes("abc");
    EXPECT_EQ(streamed(abc, 1), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const ByteVector million(1'000'000, 'a');
    for (std::size_t piece : { 1'000'000u, 65'536u, 999u })
        EXPECT_EQ(streamed(million, piece), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0")
            << piece;
    // A moved-from stream owns nothing; the moved-to one goes on.
    auto first = Sha256Stream::create().value();
    ASSERT_TRUE(first.update(abc));
    Sha256Stream second = std::move(first);
    EXPECT_EQ(second.finishHex().value(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(EcdsaP256, Rfc6979VectorsVerify)
{
    const ByteVector key = rfc6979PublicKey();
    const ByteVector sample = hex("EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
                                  "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8");
    const ByteVector test = hex("F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367"
                                "019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083");
    EXPECT_TRUE(EcdsaP256::verify(bytes("sample"), sample, key));
    EXPECT_TRUE(EcdsaP256::verify(bytes("test"), test, key));
    EXPECT_FALSE(EcdsaP256::verify(bytes("samplf"), sample, key));
    EXPECT_FALSE(EcdsaP256::verify(bytes("test"), sample, key));
    EXPECT_EQ(dmm_ecdsa_verify(key.data(), key.size(), reinterpret_cast<const std::uint8_t*>("samplf"), 6,
                  sample.data(), sample.size()),
        dmmCryptoInvalidSignature);
    EXPECT_EQ(*EcdsaP256::publicKey(rfc6979PrivateKey()), key);
    // Our own signature with that key verifies (it is randomized, not RFC 6979).
    const auto own = EcdsaP256::sign(bytes("sample"), rfc6979PrivateKey());
    ASSERT_TRUE(own);
    EXPECT_TRUE(EcdsaP256::verify(bytes("sample"), *own, key));
}

TEST(EcdsaP256, GenerateSignVerify)
{
    const auto pair = EcdsaP256::generateKeyPair();
    ASSERT_TRUE(pair);
    ASSERT_EQ(pair->privateKey.size(), 104u);
    ASSERT_EQ(pair->publicKey.size(), 72u);
    EXPECT_EQ(ByteVector(pair->privateKey.begin(), pair->privateKey.begin() + 4), bytes("ECS2"));
    EXPECT_EQ(ByteVector(pair->publicKey.begin(), pair->publicKey.begin() + 4), bytes("ECS1"));
    EXPECT_EQ(*EcdsaP256::publicKey(pair->privateKey), pair->publicKey);
    for (const ByteVector& message : { ByteVector {}, bytes("x"), ByteVector(100'000, 0x5A) }) {
        const auto signature = EcdsaP256::sign(message, pair->privateKey);
        ASSERT_TRUE(signature);
        ASSERT_EQ(signature->size(), 64u);
        EXPECT_TRUE(EcdsaP256::verify(message, *signature, pair->publicKey));
        ByteVector altered = message;
        altered.push_back(0);
        EXPECT_FALSE(EcdsaP256::verify(altered, *signature, pair->publicKey));

        // Signing a digest made in pieces signs the whole message.
        auto stream = Sha256Stream::create();
        ASSERT_TRUE(stream);
        const std::size_t half = message.size() / 2;
        ASSERT_TRUE(stream->update(std::span(message).first(half)));
        ASSERT_TRUE(stream->update(std::span(message).subspan(half)));
        const auto digest = stream->finish();
        ASSERT_TRUE(digest);
        EXPECT_EQ(ByteVector(digest->begin(), digest->end()), *EcdsaP256::sha256(message));
        const auto ofDigest = EcdsaP256::signDigest(*digest, pair->privateKey);
        ASSERT_TRUE(ofDigest);
        EXPECT_TRUE(EcdsaP256::verify(message, *ofDigest, pair->publicKey));
        EXPECT_FALSE(EcdsaP256::verify(altered, *ofDigest, pair->publicKey));
    }
}

TEST(EcdsaP256, BadArgumentsAreRefusedBeforeThePlatform)
{
    const ByteVector privateKey = rfc6979PrivateKey();
    for (ByteVector bad : { ByteVector(privateKey.begin(), privateKey.end() - 1), ByteVector(105, 0), privateKey }) {
        if (bad.size() == 104)
            bad[3] = '1'; // the public magic on a private blob
        const auto signed_ = EcdsaP256::sign(bytes("m"), bad);
        ASSERT_FALSE(signed_);
        EXPECT_EQ(signed_.error().code, 2);
        EXPECT_EQ(signed_.error().ntStatus, 0);
        EXPECT_NE(signed_.error().text().find("BAD_ARGUMENT(2)"), std::string::npos);
        const std::array<std::uint8_t, 32> digest {};
        const auto ofDigest = EcdsaP256::signDigest(digest, bad);
        ASSERT_FALSE(ofDigest);
        EXPECT_EQ(ofDigest.error().code, 2);
    }
    std::uint8_t signature[64];
    EXPECT_EQ(dmm_ecdsa_sign_digest(privateKey.data(), privateKey.size(), nullptr, signature), dmmCryptoBadArgument);
    ByteVector wrongLength = privateKey;
    wrongLength[4] = 48;
    EXPECT_EQ(EcdsaP256::publicKey(wrongLength).error().code, 2);

    const ByteVector key = rfc6979PublicKey();
    const ByteVector sig(63, 1), longSig(65, 1);
    const std::uint8_t m = 'm';
    EXPECT_EQ(dmm_ecdsa_verify(key.data(), key.size(), &m, 1, sig.data(), sig.size()), dmmCryptoInvalidSignature);
    EXPECT_EQ(
        dmm_ecdsa_verify(key.data(), key.size(), &m, 1, longSig.data(), longSig.size()), dmmCryptoInvalidSignature);
    EXPECT_EQ(dmm_crypto_last_status(), 0u);
    EXPECT_EQ(dmm_ecdsa_verify(key.data(), key.size(), &m, 1, nullptr, 0), dmmCryptoInvalidSignature);
    EXPECT_EQ(dmm_ecdsa_verify(key.data(), 71, &m, 1, longSig.data(), 64), dmmCryptoBadArgument);
    EXPECT_EQ(dmm_ecdsa_verify(key.data(), key.size(), nullptr, 1, longSig.data(), 64), dmmCryptoBadArgument);
    EXPECT_EQ(dmm_sha256(nullptr, 0, nullptr), dmmCryptoBadArgument);
    EXPECT_FALSE(EcdsaP256::verify(bytes("m"), sig, key));

    // A point that is not on the curve never verifies anything.
    ByteVector offCurve = key;
    offCurve[70] ^= 1;
    EXPECT_NE(dmm_ecdsa_verify(offCurve.data(), offCurve.size(), &m, 1, longSig.data(), 64), dmmCryptoOk);
}

TEST(CryptoError, TextForm)
{
    EXPECT_EQ((CryptoError { "generateKeyPair", 3, static_cast<std::int32_t>(0xC0000001), std::nullopt }).text(),
        "CryptoError(generateKeyPair: FAILURE(3), NTSTATUS=0xC0000001)");
    EXPECT_EQ((CryptoError { "sign", 2, 0, std::string("簽章金鑰不可用") }).text(),
        "CryptoError(sign: BAD_ARGUMENT(2), NTSTATUS=0x0, 簽章金鑰不可用)");
    EXPECT_EQ((CryptoError { "x", 9, 255, std::nullopt }).text(), "CryptoError(x: UNKNOWN(9), NTSTATUS=0xFF)");
    ByteVector secret(10, 0xAB);
    SecureMemory::zero(secret);
    EXPECT_EQ(secret, ByteVector(10, 0));
}

// Signatures made by the OpenSSL backend, committed as a fixture: the
// BCrypt backend (under Wine) must accept them byte for byte.
TEST(CrossBackend, OpenSslFixtureVerifies)
{
    std::ifstream in(testing::fixturePath("openssl-signatures.txt"));
    ASSERT_TRUE(in) << testing::fixturePath("openssl-signatures.txt");
    std::string line, key;
    int verified = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string a, b;
        fields >> a >> b;
        if (a == "public") {
            key = b;
            continue;
        }
        const ByteVector message = a == "-" ? ByteVector {} : hex(a);
        ByteVector signature = hex(b);
        EXPECT_TRUE(EcdsaP256::verify(message, signature, hex(key))) << line;
        signature[10] ^= 0x40;
        EXPECT_FALSE(EcdsaP256::verify(message, signature, hex(key)));
        ++verified;
    }
    EXPECT_EQ(verified, 4);
}

// Each build leaves its own signatures for the other build to verify.
TEST(CrossBackend, SignaturesOfTheOtherBuild)
{
    const auto dir = testing::crossDirectory();
    if (!dir)
        GTEST_SKIP() << "no exchange folder (ZELMAR_CROSS_DIR)";
    const auto pair = EcdsaP256::generateKeyPair();
    ASSERT_TRUE(pair);
    {
        std::ofstream out(*dir / (std::string(testing::buildName()) + "-signatures.txt"));
        out << "public " << toHex(pair->publicKey) << "\n";
        for (const char* m : { "sample", "電錶", "x" })
            out << toHex(bytes(m)) << " " << toHex(*EcdsaP256::sign(bytes(m), pair->privateKey)) << "\n";
    }
    std::ifstream in(*dir / (std::string(testing::otherBuildName()) + "-signatures.txt"));
    if (!in) {
        if (testing::crossFilesRequired())
            FAIL() << "the other build left no signatures";
        GTEST_SKIP() << "the other build has not run yet";
    }
    std::string word, key;
    in >> word >> key;
    int verified = 0;
    std::string message, signature;
    while (in >> message >> signature) {
        EXPECT_TRUE(EcdsaP256::verify(hex(message), hex(signature), hex(key))) << message;
        ++verified;
    }
    EXPECT_EQ(verified, 3);
}

} // namespace
} // namespace zelmar
