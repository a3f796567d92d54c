#include "storage/signed_envelope.h"
#include "support/dev_update_key.h"
#include "update/update_manifest.h"
#include "update/update_selector.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zelmar {
namespace {

using Kind = UpdateManifestError::Kind;

const std::string kHash(64, 'a');

PrivateKeySigner devSigner()
{
    return PrivateKeySigner("UPD-1", testing::developmentUpdatePrivateKey());
}

std::string release(const std::string& version, const std::string& extra = {})
{
    return R"({"version":")" + version
        + R"(","channel":"stable","release_date":"2025-03-14","url":"https://example.invalid/setup.exe","size":1000,"sha256":")"
        + kHash + "\"" + extra + "}";
}

std::string payload(const std::string& releases,
    const std::string& head = R"("format":"ZELMAR-UPDATE","formatVersion":1,)",
    const std::string& name = "ZELMAR DMM-5174K")
{
    return "{" + head + R"("name":")" + name + R"(","latest":"1.4.0","versions":[)" + releases + "]}";
}

std::string sealed(const std::string& p)
{
    auto document = SignedJSONEnvelope::seal(p, devSigner(), 1 << 22);
    EXPECT_TRUE(document.has_value()) << p;
    return document.value_or("");
}

std::expected<UpdateManifest, UpdateManifestError> decode(const std::string& document)
{
    return UpdateManifestCodec::decode(document, testing::developmentUpdateService(), "ZELMAR DMM-5174K");
}

std::string reason(const std::string& p, bool requireFormat = true)
{
    const auto decoded = UpdateManifestCodec::decodePayload(p, requireFormat);
    return decoded ? std::string() : decoded.error().reason;
}

TEST(UpdateManifest, ServerPathOrderOfChecks)
{
    const auto good = decode(sealed(payload(release("1.4.0") + "," + release("1.3.0"))));
    ASSERT_TRUE(good);
    EXPECT_EQ(good->releases.size(), 2u);
    EXPECT_EQ(good->releases[0].version.text(), "1.4.0");

    // Version 2 is refused before the signature is looked at.
    std::string v2 = sealed(payload(release("1.4.0"), R"("format":"ZELMAR-UPDATE","formatVersion":2,)"));
    v2[v2.find("\"value\":\"") + 12] ^= 1;
    EXPECT_EQ(decode(v2).error(), UpdateManifestError::unsupportedVersion(2));
    EXPECT_EQ(decode(sealed(payload(release("1.4.0"), R"("format":"ZELMAR-UPDATE","formatVersion":0,)"))).error(),
        UpdateManifestError::notManifest());
    EXPECT_EQ(
        decode(sealed(payload(release("1.4.0"), R"("format":"ZELMAR-UPDATE","formatVersion":1,)", "ZELMAR DMM-5174K ")))
            .error(),
        UpdateManifestError::nameMismatch("ZELMAR DMM-5174K "));

    std::string altered = sealed(payload(release("1.4.0")));
    altered[altered.find("1000")] = '2';
    EXPECT_EQ(decode(altered).error(), UpdateManifestError::tampered());
    // The measurement-file key is not an update key.
    EXPECT_EQ(
        decode(*SignedJSONEnvelope::seal(payload(release("1.4.0")), ZmdSignatureService::shared(), 1 << 20)).error(),
        UpdateManifestError::tampered());
    EXPECT_EQ(decode("not json").error(), UpdateManifestError::notManifest());
    EXPECT_EQ(decode(sealed(R"({"a":1})")).error(), UpdateManifestError::notManifest());
    // The latest version need not be listed on the server path.
    EXPECT_TRUE(decode(sealed(payload(release("1.3.0")))));
}

TEST(UpdateManifest, ASignatureObjectMissingEmptyOrMalformedIsRefused)
{
    const std::string good = sealed(payload(release("1.4.0")));
    ASSERT_TRUE(decode(good));
    const auto withSignature = [&](const std::string& signature) {
        const auto at = good.find("\"signature\":");
        std::string document = good.substr(0, at) + "\"signature\":" + signature + "}";
        return decode(document);
    };
    const auto at = good.find("\"signature\":");
    const std::string real = good.substr(at + 12, good.rfind('}') - at - 12);
    for (const std::string& signature : { std::string("{}"), std::string("null"), std::string("[]"),
             std::string("\"\""), std::string(R"({"alg":"ES256","kid":"UPD-1"})"),
             std::string(R"({"alg":"ES256","kid":"UPD-1","value":"%%%"})"),
             std::string(R"({"alg":"ES256","kid":"UPD-1","value":""})"),
             std::string(R"({"alg":"HS256","kid":"UPD-1","value":"AAAA"})") }) {
        const auto decoded = withSignature(signature);
        ASSERT_FALSE(decoded) << signature;
        EXPECT_TRUE(
            decoded.error() == UpdateManifestError::tampered() || decoded.error() == UpdateManifestError::notManifest())
            << signature;
    }
    // Without a signature member at all.
    const std::string unsigned_ = "{\"payload\":" + payload(release("1.4.0")) + "}";
    EXPECT_FALSE(decode(unsigned_));
    // The real one put back opens again: the cut above was clean.
    EXPECT_TRUE(withSignature(real)) << real;
}

TEST(UpdateManifest, OneMebibyteLimit)
{
    // Pad the payload with an unknown member to exactly 1 MiB of document.
    const std::string base
        = sealed(payload(release("1.4.0"), R"("format":"ZELMAR-UPDATE","formatVersion":1,"pad":"",)"));
    const std::size_t missing = static_cast<std::size_t>(UpdateManifestCodec::maximumDocument) - base.size();
    const std::string exact = sealed(payload(
        release("1.4.0"), R"("format":"ZELMAR-UPDATE","formatVersion":1,"pad":")" + std::string(missing, 'x') + "\","));
    ASSERT_EQ(exact.size(), 1'048'576u);
    EXPECT_TRUE(decode(exact));
    const std::string over = sealed(payload(release("1.4.0"),
        R"("format":"ZELMAR-UPDATE","formatVersion":1,"pad":")" + std::string(missing + 1, 'x') + "\","));
    EXPECT_EQ(decode(over).error(), UpdateManifestError::notManifest());
}

TEST(UpdateManifest, PayloadReasons)
{
    EXPECT_EQ(reason("\xEF\xBB\xBF" + payload(release("1.4.0"))), "");
    EXPECT_EQ(reason(payload(release("1.4.0")) + "\xFF"), "payload 不是有效的 UTF-8 文字");
    EXPECT_EQ(
        reason(payload(
            R"({"version":"1.4.0","channel":"stable","release_date":"2025-03-14","url":5,"size":1,"sha256":"x"})")),
        "payload JSON 結構或欄位型別不符（欄位 versions.[0].url 型別不符）");
    EXPECT_EQ(reason(payload(
                  R"({"version":"1.4.0","channel":null,"release_date":"2025-03-14","url":"x","size":1,"sha256":"x"})")),
        "payload JSON 結構或欄位型別不符（欄位 versions.[0].channel 為 null）");
    EXPECT_EQ(reason(R"({"format":"ZELMAR-UPDATE","formatVersion":1,"latest":"1.0.0","versions":[]})"),
        "payload JSON 結構或欄位型別不符（缺少欄位 根.name）");
    EXPECT_EQ(reason("{"), "payload JSON 結構或欄位型別不符（JSON 格式錯誤）");
    EXPECT_EQ(reason(payload(release("1.4.0"), "")), "缺少 format");
    EXPECT_EQ(reason(payload(release("1.4.0"), ""), false), "");
    EXPECT_EQ(reason(payload(release("1.4.0"), R"("format":"X",)"), false), "format 須為 ZELMAR-UPDATE（實際：X）");
    EXPECT_EQ(reason(payload(release("1.4.0"), R"("format":"ZELMAR-UPDATE",)")), "缺少 formatVersion");
    EXPECT_EQ(reason(payload(release("v1.4.0"))), "versions[0]：version「v1.4.0」不是合法的版本號");
    EXPECT_EQ(
        reason(payload(release("1.4.0", R"(,"min_version":"x")"))), "versions[0]：min_version「x」不是合法的版本號");
    EXPECT_EQ(reason(payload(
                  R"({"version":"1.4.0","channel":"stable","release_date":"2025-03-14","url":"a b","size":1,"sha256":")"
                  + kHash + "\"}")),
        "versions[0]：url 不是合法網址");
}

std::string validation(UpdateManifest m, bool requireLatest = false)
{
    const auto valid = m.validate(requireLatest);
    return valid ? std::string() : valid.error().reason;
}

UpdateManifest manifest()
{
    return *UpdateManifestCodec::decodePayload(payload(release("1.4.0")), true);
}

TEST(UpdateManifest, ValidationRules)
{
    auto m = manifest();
    EXPECT_EQ(validation(m), "");
    const std::string c = "versions[0]（1.4.0）：";
    const auto with = [&](auto change) {
        auto copy = manifest();
        change(copy.releases[0]);
        return validation(copy);
    };
    EXPECT_EQ(with([](auto& r) { r.size = 4'294'967'296LL; }), "");
    EXPECT_EQ(with([](auto& r) { r.size = 4'294'967'297LL; }), c + "size 須介於 1 與 4294967296 位元組");
    EXPECT_EQ(with([](auto& r) { r.size = 0; }), c + "size 須介於 1 與 4294967296 位元組");
    EXPECT_EQ(with([](auto& r) { r.releaseDate = "2024-02-29"; }), "");
    for (const char* bad : { "2023-02-29", "1999-12-31", "2024-2-09", "2024-13-01" })
        EXPECT_EQ(
            with([&](auto& r) { r.releaseDate = bad; }), c + "release_date「" + bad + "」不是合法日期（yyyy-MM-dd）");
    EXPECT_EQ(with([](auto& r) { r.channel = ""; }), c + "channel 須為 1–32 個可見 ASCII 字元");
    EXPECT_EQ(with([](auto& r) { r.channel = std::string(33, 'b'); }), c + "channel 須為 1–32 個可見 ASCII 字元");
    EXPECT_EQ(with([](auto& r) { r.channel = "stable "; }), c + "channel 須為 1–32 個可見 ASCII 字元");
    EXPECT_EQ(with([](auto& r) { r.channel = "beta-1"; }), "");
    EXPECT_EQ(with([](auto& r) { r.url = "ftp://host/x"; }), c + "url 只接受 http／https");
    EXPECT_EQ(with([](auto& r) { r.url = "setup.exe"; }), c + "url 只接受 http／https");
    EXPECT_EQ(with([](auto& r) { r.url = "https:///x"; }), c + "url 缺少主機名稱");
    EXPECT_EQ(with([](auto& r) { r.sha256 = std::string(64, 'A'); }), c + "sha256 須為 64 字元小寫十六進位");
    EXPECT_EQ(with([](auto& r) { r.minVersion = SemanticVersion::parse("2.0.0"); }),
        c + "min_version（2.0.0）不可大於 version");

    m.name.clear();
    EXPECT_EQ(validation(m), "name 不可為空");
    m = manifest();
    m.latest = "1.4";
    EXPECT_EQ(validation(m), "latest「1.4」不是合法的版本號（MAJOR.MINOR.PATCH[-prerelease]）");
    m = manifest();
    m.releases.push_back(m.releases[0]);
    m.releases[1].channel = "beta";
    EXPECT_EQ(validation(m), "");
    m.releases.push_back(m.releases[0]);
    EXPECT_EQ(validation(m), "versions[2]（1.4.0）：版本與通道重複（1.4.0 / stable）");
    m = manifest();
    m.latest = "1.5.0";
    EXPECT_EQ(validation(m, true), "latest「1.5.0」不在 versions 清單內");
}

TEST(UpdateManifest, EncodeRoundTripsThroughTheServerPath)
{
    auto m = manifest();
    m.releases[0].notes = { { "en-US", "Fixes." }, { "zh-TW", "修正。" } };
    m.releases[0].minVersion = SemanticVersion::parse("1.0.0");
    const auto document = UpdateManifestCodec::encode(m, devSigner());
    ASSERT_TRUE(document) << document.error();
    const auto decoded = decode(*document);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->releases, m.releases);
    m.latest = "9.9.9";
    EXPECT_FALSE(UpdateManifestCodec::encode(m, devSigner()));
}

UpdateRelease rel(
    const char* version, const char* channel = "stable", bool mandatory = false, const char* minVersion = nullptr)
{
    UpdateRelease r = manifest().releases[0];
    r.version = *SemanticVersion::parse(version);
    r.channel = channel;
    r.mandatory = mandatory;
    if (minVersion != nullptr)
        r.minVersion = SemanticVersion::parse(minVersion);
    return r;
}

TEST(UpdateSelector, StableOnlyNewestFirstOfEquals)
{
    const auto v = [](const char* t) { return *SemanticVersion::parse(t); };
    UpdateManifest m { "ZELMAR DMM-5174K", "2.0.0", { rel("2.0.0", "beta"), rel("1.4.0"), rel("1.3.0") } };
    auto d = UpdateSelector::select(m, v("1.0.0"), std::nullopt);
    EXPECT_EQ(d.kind, UpdateDecision::Kind::available);
    EXPECT_EQ(d.release->version.text(), "1.4.0");
    EXPECT_EQ(UpdateSelector::select(m, v("1.4.0"), std::nullopt), UpdateDecision::upToDate());
    EXPECT_EQ(UpdateSelector::select(m, v("3.0.0"), std::nullopt), UpdateDecision::upToDate());
    EXPECT_EQ(UpdateSelector::select({ "x", "2.0.0", { rel("9.0.0", "beta") } }, v("1.0.0"), std::nullopt),
        UpdateDecision::upToDate());

    UpdateRelease first = rel("1.4.0");
    first.url = "https://example.invalid/first.exe";
    UpdateManifest twins { "x", "1.4.0", { first, rel("1.4.0") } };
    EXPECT_EQ(
        UpdateSelector::select(twins, v("1.0.0"), std::nullopt).release->url, "https://example.invalid/first.exe");

    EXPECT_EQ(UpdateSelector::select(m, v("1.0.0"), "1.4.0").kind, UpdateDecision::Kind::skipped);
    EXPECT_EQ(UpdateSelector::select(m, v("1.0.0"), "garbage").kind, UpdateDecision::Kind::available);
    UpdateManifest mandatory { "x", "1.4.0", { rel("1.4.0", "stable", true) } };
    EXPECT_EQ(
        UpdateSelector::select(mandatory, v("1.0.0"), "1.4.0"), UpdateDecision::available(mandatory.releases[0], true));
    UpdateManifest minimum { "x", "1.4.0", { rel("1.4.0", "stable", false, "1.2.0") } };
    EXPECT_TRUE(UpdateSelector::select(minimum, v("1.1.0"), "1.4.0").mandatory);
    EXPECT_EQ(UpdateSelector::select(minimum, v("1.2.0"), "1.4.0").kind, UpdateDecision::Kind::skipped);
}

TEST(UpdateCheckThrottle, Boundaries)
{
    EXPECT_TRUE(UpdateCheckThrottle::shouldCheck(std::nullopt, 1000));
    EXPECT_TRUE(UpdateCheckThrottle::shouldCheck(0, 86'400));
    EXPECT_FALSE(UpdateCheckThrottle::shouldCheck(1, 86'400));
    EXPECT_TRUE(UpdateCheckThrottle::shouldCheck(100'000 + 3600, 100'000));
}

} // namespace
} // namespace zelmar
