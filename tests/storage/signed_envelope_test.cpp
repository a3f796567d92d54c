#include "security/signature_service.h"
#include "storage/base64.h"
#include "storage/json_scan.h"
#include "storage/signed_envelope.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace zelmar {
namespace {

using Kind = SignedJSONEnvelope::PeekValue::Kind;

const ZmdSignatureService& service()
{
    return ZmdSignatureService::shared();
}

std::string sealed(std::string_view payload)
{
    auto document = SignedJSONEnvelope::seal(payload, service(), 1 << 30);
    EXPECT_TRUE(document);
    return document.value_or("");
}

SignedJSONEnvelope::HeaderPeek peek(std::string_view payload)
{
    auto envelope = SignedJSONEnvelope::parse("{\"payload\":" + std::string(payload) + ",\"signature\":{}}");
    EXPECT_TRUE(envelope) << payload;
    return envelope ? envelope->peekHeader() : SignedJSONEnvelope::HeaderPeek {};
}

TEST(SignedJSONEnvelope, SealLayoutByteForByte)
{
    const std::string payload = "{\"a\":1,\n\"b\":[true,null]}";
    const std::string document = sealed(payload);
    ASSERT_TRUE(document.starts_with(
        "{\"payload\":" + payload + ",\n\"signature\":{\"alg\":\"ES256\",\"keyId\":\"ZMD-4\",\"value\":\""));
    ASSERT_TRUE(document.ends_with("==\"}}\n"));
    const auto valueAt = document.find("\"value\":\"") + 9;
    EXPECT_EQ(document.size() - valueAt, 88u + 4u);

    auto envelope = SignedJSONEnvelope::parse(document);
    ASSERT_TRUE(envelope);
    EXPECT_EQ(envelope->payloadBytes(), payload);
    EXPECT_TRUE(envelope->verify(service()));
    const auto parts = envelope->signatureParts();
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->alg, "ES256");
    EXPECT_EQ(parts->keyId, "ZMD-4");
    EXPECT_EQ(parts->value.size(), 64u);
}

TEST(SignedJSONEnvelope, TheSignatureCoversExactlyThePayload)
{
    const std::string document = sealed("{\"v\":12.345}");
    std::string changed = document;
    changed[changed.find("12.345") + 3] = '4';
    EXPECT_FALSE(SignedJSONEnvelope::parse(changed)->verify(service()));

    std::string spaced = document;
    spaced.insert(spaced.find("\"signature\":") + 12, "  \n ");
    EXPECT_TRUE(SignedJSONEnvelope::parse(spaced)->verify(service()));

    std::string lowerAlg = document;
    lowerAlg.replace(lowerAlg.find("ES256"), 5, "es256");
    EXPECT_FALSE(SignedJSONEnvelope::parse(lowerAlg)->verify(service()));

    std::string shortValue = document;
    shortValue.erase(shortValue.find("==\"") - 1, 1);
    EXPECT_FALSE(SignedJSONEnvelope::parse(shortValue)->signatureParts());
    EXPECT_FALSE(SignedJSONEnvelope::parse(shortValue)->verify(service()));
    std::string brokenValue = document;
    brokenValue.insert(brokenValue.find("\"value\":\"") + 20, "\\n");
    EXPECT_FALSE(SignedJSONEnvelope::parse(brokenValue)->verify(service()));
}

TEST(SignedJSONEnvelope, LayoutRules)
{
    const std::string sig = "{\"alg\":\"ES256\"}";
    EXPECT_TRUE(SignedJSONEnvelope::parse("\xEF\xBB\xBF\n\n {\"payload\":{},\"signature\":" + sig + "}\r\n"));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":{},\"signature\":" + sig + "} x"));
    const auto reversed = SignedJSONEnvelope::parse("{\"signature\":" + sig + ",\"payload\":{\"a\":1},\"note\":1}");
    ASSERT_TRUE(reversed);
    EXPECT_EQ(reversed->payloadBytes(), "{\"a\":1}");
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":{},\"payload\":{},\"signature\":" + sig + "}"));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":{}}"));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":[],\"signature\":" + sig + "}"));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{}"));
    EXPECT_FALSE(SignedJSONEnvelope::parse(""));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":{\"a\":tru},\"signature\":{}}"));
    EXPECT_FALSE(SignedJSONEnvelope::parse("{\"payload\":{\"a\":\"x},\"signature\":{}}"));

    // Level 1 is the payload itself: 63 arrays inside it reach level 64.
    const auto nested = [](int arrays) {
        return "{\"payload\":{\"a\":" + std::string(arrays, '[') + std::string(arrays, ']') + "},\"signature\":{}}";
    };
    EXPECT_TRUE(SignedJSONEnvelope::parse(nested(63)));
    EXPECT_FALSE(SignedJSONEnvelope::parse(nested(64)));
}

TEST(SignedJSONEnvelope, HeaderPeek)
{
    auto p = peek("{\"formatVersion\":2,\"format\":\"X\",\"rest\":[1,2,3]}");
    ASSERT_TRUE(p.format && p.formatVersion);
    EXPECT_EQ(p.format->kind, Kind::string);
    EXPECT_EQ(p.format->text, "X");
    EXPECT_EQ(p.formatVersion->kind, Kind::integer);
    EXPECT_EQ(p.formatVersion->integer, 2);
    EXPECT_FALSE(p.reachedEnd);

    p = peek("{\"format\":\"X\"}");
    EXPECT_TRUE(p.format);
    EXPECT_FALSE(p.formatVersion);
    EXPECT_TRUE(p.reachedEnd);
    EXPECT_EQ(peek("{\"formatVersion\":\"2\"}").formatVersion->kind, Kind::string);
    EXPECT_EQ(peek("{\"formatVersion\":2.0}").formatVersion->kind, Kind::other);
    EXPECT_EQ(peek("{\"formatVersion\":-99999999999999999999}").formatVersion->integer, INT64_MIN);
    EXPECT_EQ(peek("{\"formatVersion\":99999999999999999999}").formatVersion->integer, INT64_MAX);
    EXPECT_EQ(peek("{\"format\":\"\\u0041B\"}").format->text, "AB");
    EXPECT_EQ(peek("{\"format\":\"A\",\"format\":\"B\"}").format->text, "A");
    EXPECT_TRUE(peek("{ }").reachedEnd);
}

TEST(SignedJSONEnvelope, TooLargeCarriesTheExactTotal)
{
    const std::string document = sealed("{}");
    const auto total = static_cast<std::int64_t>(document.size());
    auto refused = SignedJSONEnvelope::seal("{}", service(), total - 1);
    ASSERT_FALSE(refused);
    const auto* tooLarge = std::get_if<SignedJSONEnvelope::TooLarge>(&refused.error());
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->total, total);
    EXPECT_EQ(tooLarge->limit, total - 1);
    EXPECT_TRUE(SignedJSONEnvelope::seal("{}", service(), total));
}

std::size_t filesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// A payload written in pieces is sealed into the file as sealing it whole
// would seal it; past the limit, or with a signer that fails, or dropped
// before commit, the old file stays and nothing is left beside it.
TEST(SealedFileWriter, PiecesSealAsTheWholeAndFailuresChangeNothing)
{
    testing::TempDir dir;
    const auto path = dir / "sealed.json";
    const std::string payload = "{\"a\":[1,2,3],\n\"b\":\"text\"}";
    {
        auto writer = SealedFileWriter::create(path, service(), 1 << 20);
        ASSERT_TRUE(writer);
        for (const std::string_view piece : { "{\"a\":[1,", "", "2,3],\n\"b\":", "\"text\"}" })
            ASSERT_TRUE(writer->write(piece));
        ASSERT_TRUE(writer->commit());
    }
    const std::string onDisk = testing::readFile(path);
    const std::string whole = sealed(payload);
    // The same bytes but the signature's value (signatures are randomized).
    const auto valueAt = whole.find("\"value\":\"") + 9;
    ASSERT_EQ(onDisk.size(), whole.size());
    EXPECT_EQ(onDisk.substr(0, valueAt), whole.substr(0, valueAt));
    EXPECT_EQ(onDisk.substr(onDisk.size() - 4), whole.substr(whole.size() - 4));
    auto envelope = SignedJSONEnvelope::parse(onDisk);
    ASSERT_TRUE(envelope);
    EXPECT_EQ(envelope->payloadBytes(), payload);
    EXPECT_TRUE(envelope->verify(service()));
    EXPECT_EQ(filesIn(dir.path()), 1u);

    // One byte over the limit: the exact total, as sealing whole says it.
    const auto total = static_cast<std::int64_t>(whole.size());
    {
        auto writer = SealedFileWriter::create(path, service(), total - 1);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->write(std::string_view(payload).substr(0, 5)));
        ASSERT_TRUE(writer->write(std::string_view(payload).substr(5)));
        const auto refused = writer->commit();
        ASSERT_FALSE(refused);
        const auto* tooLarge = std::get_if<SignedJSONEnvelope::TooLarge>(&refused.error());
        ASSERT_TRUE(tooLarge);
        EXPECT_EQ(tooLarge->total, total);
        EXPECT_EQ(tooLarge->limit, total - 1);
    }
    EXPECT_EQ(testing::readFile(path), onDisk);
    EXPECT_EQ(filesIn(dir.path()), 1u);

    struct Refusing final : ZmdSigner {
        std::string keyId() const override { return "ZMD-4"; }
        std::expected<ByteVector, CryptoError> signDigest(std::span<const std::uint8_t, 32>) const override
        {
            return std::unexpected(CryptoError { "sign", 3, 0, std::string("no key") });
        }
    };
    const Refusing refusing;
    {
        auto writer = SealedFileWriter::create(path, refusing, 1 << 20);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->write(payload));
        const auto refused = writer->commit();
        ASSERT_FALSE(refused);
        EXPECT_TRUE(std::holds_alternative<CryptoError>(refused.error()));
    }
    {
        auto writer = SealedFileWriter::create(path, service(), 1 << 20);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->write(payload));
        EXPECT_EQ(filesIn(dir.path()), 2u); // the temporary file beside it
    }
    EXPECT_EQ(testing::readFile(path), onDisk);
    EXPECT_EQ(filesIn(dir.path()), 1u);

    const auto nowhere = SealedFileWriter::create(dir / "missing" / "sealed.json", service(), 1 << 20);
    ASSERT_FALSE(nowhere);
    EXPECT_TRUE(std::holds_alternative<StorageError>(nowhere.error()));
}

TEST(Base64, StrictStandardForm)
{
    const std::vector<std::uint8_t> bytes { 0xFB, 0xFF, 0x00, 0x41 };
    EXPECT_EQ(Base64::encode(bytes), "+/8AQQ==");
    EXPECT_EQ(Base64::decode("+/8AQQ=="), bytes);
    EXPECT_EQ(Base64::encode({}), "");
    EXPECT_EQ(Base64::decode(""), std::vector<std::uint8_t> {});
    for (const char* bad :
        { "+/8AQQ", "+/8AQQ=", "+/8A QQ==", "+/8AQR==", "-_8AQQ==", "+/8A\nQQ==", "QQ=A", "Q===", "=QQQ" })
        EXPECT_FALSE(Base64::decode(bad)) << bad;
}

TEST(SignedJSONEnvelope, RandomDocumentsNeverCrash)
{
    const std::string valid = sealed("{\"format\":\"ZELMAR-ZMD\",\"formatVersion\":1,\"x\":[{\"a\":\"\\\"\"},-1.5e3]}");
    std::mt19937 rng(42);
    for (int i = 0; i < 30'000; ++i) {
        std::string b = valid;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < edits; ++k) {
            const auto at = rng() % b.size();
            switch (rng() % 3) {
            case 0:
                b[at] = "{}[]\",:\\ tfn0-"[rng() % 14];
                break;
            case 1:
                b.erase(at, 1 + rng() % 8);
                break;
            default:
                b.resize(at);
                break;
            }
            if (b.empty())
                break;
        }
        b.shrink_to_fit();
        if (auto envelope = SignedJSONEnvelope::parse(b)) {
            (void)envelope->peekHeader();
            (void)envelope->signatureParts();
        }
    }
}

TEST(JsonScan, StringsEndAtTheFirstUnescapedQuote)
{
    const auto end = [](std::string_view text) -> std::optional<std::size_t> {
        std::size_t pos = 0;
        if (!JsonScan::skipString(text, pos, text.size()))
            return std::nullopt;
        return pos;
    };
    EXPECT_EQ(end(R"("abc",)"), 5u);
    EXPECT_EQ(end(R"("a\"b",)"), 6u);
    EXPECT_EQ(end(R"("a\\",)"), 5u);
    EXPECT_EQ(end(R"("a\\\"b\\",)"), 10u);
    EXPECT_EQ(end(R"("")"), 2u);
    EXPECT_FALSE(end(R"("abc)"));
    EXPECT_FALSE(end(R"("abc\")"));
    EXPECT_FALSE(end(R"("abc\)"));
    EXPECT_FALSE(end("abc"));
    // Within a bound, a quote beyond it does not count.
    std::size_t pos = 0;
    EXPECT_FALSE(JsonScan::skipString(R"("ab"cd")", pos, 3));
}

// A number skipped inside a payload is one the JSON decoder reads: too
// large for a double is refused, too small reads as zero and passes.
TEST(JsonScan, NumbersTooLargeForADoubleAreNoValues)
{
    const auto skips = [](std::string_view text) {
        std::size_t pos = 0;
        return JsonScan::skipValue(text, pos, text.size(), 0) && pos == text.size();
    };
    for (const char* good : { "0", "-0.5", "1e308", "1.7976931348623157e308", "1e-400", "-0.000001e-330",
             "123456789012345678901234567890", "0.0000e400" })
        EXPECT_TRUE(skips(good)) << good;
    for (const std::string& bad : std::vector<std::string> { "1e309", "-1e400", "444444444400e0000220001000000000000000002", "10e308", "0.1e310",
             "1" + std::string(400, '0') })
        EXPECT_FALSE(skips(bad)) << bad;
}

TEST(SignedJSONEnvelope, SealingInPlaceGivesTheSameDocument)
{
    const auto& signer = ZmdSignatureService::shared();
    const std::string payload = R"({"format":"ZELMAR-ZMD","records":[]})";
    const auto copied = SignedJSONEnvelope::seal(payload, signer, 1 << 20);
    const auto inPlace
        = SignedJSONEnvelope::sealInPlace(std::string(SignedJSONEnvelope::sealedPrefix) + payload, signer, 1 << 20);
    ASSERT_TRUE(copied && inPlace);
    for (const std::string* document : { &*copied, &*inPlace }) {
        const auto envelope = SignedJSONEnvelope::parse(*document);
        ASSERT_TRUE(envelope);
        EXPECT_EQ(envelope->payloadView(), payload);
        EXPECT_TRUE(envelope->verify(ZmdSignatureService::shared()));
    }
    // A string without the prefix is a caller's mistake, refused.
    EXPECT_FALSE(SignedJSONEnvelope::sealInPlace(payload, signer, 1 << 20));
    // Apart from the signature's value, the documents are the same bytes.
    const auto valueAt = [](const std::string& d) { return d.find("\"value\":"); };
    EXPECT_EQ(copied->substr(0, valueAt(*copied)), inPlace->substr(0, valueAt(*inPlace)));
    const auto tooLarge
        = SignedJSONEnvelope::sealInPlace(std::string(SignedJSONEnvelope::sealedPrefix) + payload, signer, 40);
    ASSERT_FALSE(tooLarge);
    EXPECT_TRUE(std::holds_alternative<SignedJSONEnvelope::TooLarge>(tooLarge.error()));
}

// A payload with white space around it is sealed without it: the document
// verifies, and what it carries is the payload's value.
TEST(SignedEnvelope, SpaceAroundThePayloadIsNotSigned)
{
    for (const char* payload : { "{\"a\":1}\n", " \t{\"a\":1}", "\r\n{\"a\":1}\r\n " }) {
        const auto document = SignedJSONEnvelope::seal(payload, service(), 1 << 20);
        ASSERT_TRUE(document);
        const auto envelope = SignedJSONEnvelope::parse(*document);
        ASSERT_TRUE(envelope);
        EXPECT_TRUE(envelope->verify(service())) << payload;
        EXPECT_EQ(envelope->payloadBytes(), "{\"a\":1}");
    }
    // Not one JSON value: it would not verify once sealed, so it is refused.
    for (const char* payload : { "", "  ", "{\"a\":1},\"b\":2", "{\"a\":1}}", "{\"a\":\"\x01\"}", "[1] [2]" }) {
        const auto refused = SignedJSONEnvelope::seal(payload, service(), 1 << 20);
        ASSERT_FALSE(refused) << payload;
        EXPECT_TRUE(std::holds_alternative<SignedJSONEnvelope::NotOneValue>(refused.error()));
    }
}

} // namespace
} // namespace zelmar
