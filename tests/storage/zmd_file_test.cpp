#include "storage/signed_envelope.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <random>

namespace zelmar {
namespace {

using testing::TempDir;
using Kind = ZmdError::Kind;

const ZmdSignatureService& service()
{
    return ZmdSignatureService::shared();
}

ZmdDocument document(std::size_t records = 3)
{
    ZmdDocument doc { "DMM-5174K", "ZELMAR DMM-5174K 1.0.0", 1714542312.75, 2, {} };
    for (std::size_t i = 0; i < records; ++i)
        doc.records.push_back(JournalRecord { 1714542300.0 + static_cast<double>(i) + 0.5,
            static_cast<std::uint8_t>(i % 31), static_cast<std::int64_t>(i % 10), i % 5 == 4 ? "OL" : "12.345",
            i % 5 == 4 ? std::nullopt : std::optional<double>(12.345), "V" });
    return doc;
}

std::string encoded(const ZmdDocument& doc)
{
    auto bytes = ZmdFile::encode(doc, service());
    EXPECT_TRUE(bytes) << (bytes ? "" : describe(bytes.error()));
    return bytes.value_or("");
}

std::expected<ZmdDocument, ZmdError> decode(std::string bytes)
{
    return ZmdFile::decode(std::move(bytes), "DMM-5174K", service());
}

// A document signed with the real key after its payload was edited, even
// into something that is not JSON (sealed in place, as the save does, which
// takes the payload as it is): what an attacker with the key could make.
std::string resigned(const std::string& file, const std::function<void(std::string&)>& edit)
{
    auto envelope = SignedJSONEnvelope::parse(file);
    std::string payload = envelope->payloadBytes();
    edit(payload);
    auto sealed = SignedJSONEnvelope::sealInPlace(
        std::string(SignedJSONEnvelope::sealedPrefix) + payload, service(), ZmdFile::largestFile);
    EXPECT_TRUE(sealed.has_value());
    return sealed.value_or("");
}

TEST(ZmdFile, PayloadLayoutByteForByte)
{
    ZmdDocument doc = document(0);
    doc.records.push_back({ 0, 2, 1, "1.5", 1.5, "V" });
    doc.records.push_back({ 1, 6, 4, "OL", std::nullopt, "M\u03A9" });
    const std::string file = encoded(doc);
    const auto envelope = SignedJSONEnvelope::parse(file);
    ASSERT_TRUE(envelope);
    const int offset = LocalTimeZone::currentOffsetSeconds();
    const std::string expected = "{\"format\":\"ZELMAR-ZMD\",\"formatVersion\":1,\n\"model\":\"DMM-5174K\",\n"
                                 "\"software\":\"ZELMAR DMM-5174K 1.0.0\",\n\"savedAt\":\""
        + *canonicalTimestamp(doc.savedAt, offset) + "\",\n\"recordCount\":2,\n\"deletedCount\":2,\n\"records\":[\n"
        + "{\"t\":\"" + *canonicalTimestamp(0, offset) + "\",\"f\":2,\"r\":1,\"x\":\"1.5\",\"v\":1.5,\"u\":\"V\"},\n"
        + "{\"t\":\"" + *canonicalTimestamp(1, offset) + "\",\"f\":6,\"r\":4,\"x\":\"OL\",\"u\":\"M\u03A9\"}\n]}";
    EXPECT_EQ(envelope->payloadBytes(), expected);
    EXPECT_TRUE(encoded(document(0)).find("\"records\":[\n]}") != std::string::npos);
}

TEST(ZmdFile, SaveAndOpenRoundTrip)
{
    TempDir dir;
    const auto path = dir / "a.zmd";
    const ZmdDocument doc = document(50);
    ASSERT_TRUE(ZmdFile::save(doc, path, service()));
    const auto opened = ZmdFile::open(path, "DMM-5174K", service());
    ASSERT_TRUE(opened) << opened.error().description();
    EXPECT_EQ(opened->model, doc.model);
    EXPECT_EQ(opened->software, doc.software);
    EXPECT_EQ(opened->deletedCount, 2);
    EXPECT_EQ(opened->savedAt, 1714542312.0); // whole seconds
    ASSERT_EQ(opened->records.size(), 50u);
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(opened->records[i].t, std::floor(doc.records[i].t));
        EXPECT_EQ(opened->records[i].x, doc.records[i].x);
        EXPECT_EQ(opened->records[i].v, doc.records[i].v);
        EXPECT_EQ(opened->records[i].f, doc.records[i].f);
    }
    // An empty recording too.
    ASSERT_TRUE(ZmdFile::save(document(0), path, service()));
    EXPECT_TRUE(ZmdFile::open(path, "DMM-5174K", service())->records.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "a.zmd.tmp"));
}

TEST(ZmdFile, RefusalsInTheirOrder)
{
    const std::string file = encoded(document());
    std::string digit = file;
    digit[digit.find("12.345") + 2] = '9';
    EXPECT_EQ(decode(digit).error(), ZmdError::tampered());

    EXPECT_EQ(
        decode(resigned(file, [](std::string& p) { p.replace(p.find("\"recordCount\":3"), 15, "\"recordCount\":4"); }))
            .error(),
        ZmdError::tampered());

    // A newer version is refused before the signature is looked at.
    std::string v2 = file;
    v2.replace(v2.find("\"formatVersion\":1"), 17, "\"formatVersion\":2");
    EXPECT_EQ(decode(v2).error(), ZmdError::unsupportedVersion(2));
    EXPECT_EQ(decode(resigned(file,
                         [](std::string& p) { p.replace(p.find("\"formatVersion\":1"), 17, "\"formatVersion\":0"); }))
                  .error(),
        ZmdError::notZmd());

    EXPECT_EQ(decode(resigned(file, [](std::string& p) { p.replace(p.find("DMM-5174K"), 9, "DMM-9000"); })).error(),
        ZmdError::modelMismatch("DMM-9000"));
    const auto extra = decode(resigned(file, [](std::string& p) { p.insert(1, "\"comment\":{\"a\":[1]},"); }));
    EXPECT_TRUE(extra) << extra.error().description();

    EXPECT_EQ(decode("hello").error(), ZmdError::notZmd());
    EXPECT_EQ(decode("").error(), ZmdError::notZmd());
    EXPECT_EQ(decode(*SignedJSONEnvelope::seal("{\"a\":1}", service(), 1000)).error(), ZmdError::notZmd());
    std::string other = *SignedJSONEnvelope::seal("{\"format\":\"OTHER\"}", service(), 1000);
    EXPECT_EQ(decode(other).error(), ZmdError::notZmd());

    // Fractional savedAt is refused; fractional record times are accepted.
    EXPECT_EQ(decode(resigned(file,
                         [](std::string& p) {
                             const auto at = p.find("\"savedAt\":\"") + 30;
                             p.insert(at, ".5");
                         }))
                  .error(),
        ZmdError::notZmd());
    const auto fractional = decode(resigned(file, [](std::string& p) {
        const auto at = p.find("{\"t\":\"") + 25;
        p.insert(at, ".25");
    }));
    ASSERT_TRUE(fractional) << fractional.error().description();
    EXPECT_EQ(fractional->records[0].t, 1714542300.25);

    // Unknown key ids and a missing signature are tampering.
    std::string unknownKey = file;
    unknownKey.replace(unknownKey.find("ZMD-4"), 5, "ZMD-9");
    EXPECT_EQ(decode(unknownKey).error(), ZmdError::tampered());
}

TEST(ZmdFile, WhatOpensSavesAndOpensAgain)
{
    // Record lines written by someone else: each either is refused at once
    // or survives open, save and open unchanged. A loose reader would let a
    // file open that its own save then turns into "not a measurement file".
    const std::string file = encoded(document(1));
    const auto withRecord = [&](const std::string& fields) {
        return resigned(file, [&](std::string& p) {
            const auto start = p.find("{\"t\":");
            const auto end = p.find('}', start);
            p.replace(start, end + 1 - start, "{\"t\":\"2024-05-01T13:45:12+08:00\"," + fields + "}");
        });
    };
    const std::vector<std::string> opens { R"("f":2,"r":1,"x":"a\"b\\c","u":"V")", R"("f":2,"r":1,"x":"}","u":"V")",
        R"("f":2,"r":1,"x":"a\u0001","u":"V")", R"("f":2,"r":1,"x":"","v":-0,"u":"\u00b0C")" };
    const std::vector<std::string> refused { R"("f":007,"r":1,"x":"","u":"V")", R"("f":2,"r":1,"x":"","v":--5,"u":"V")",
        "\"f\":2,\"r\":1,\"x\":\"a\x01\",\"u\":\"V\"", "\"f\":2,\"r\":1,\"x\":\"\xC3(\",\"u\":\"V\"",
        R"("f":2,"r":1,"x":"","v":5x,"u":"V")" };
    for (const std::string& fields : opens) {
        const auto first = decode(withRecord(fields));
        ASSERT_TRUE(first) << fields << ": " << first.error().description();
        const auto again = decode(encoded(*first));
        ASSERT_TRUE(again) << fields << ": " << again.error().description();
        EXPECT_EQ(again->records, first->records) << fields;
    }
    EXPECT_EQ(decode(withRecord(opens[0]))->records[0].x, "a\"b\\c");
    for (const std::string& fields : refused)
        EXPECT_EQ(decode(withRecord(fields)).error(), ZmdError::notZmd()) << fields;
}

// 64 levels at most, counted alike in a record and in any other member: a
// record is an element of the records array, three levels down.
TEST(ZmdFile, NestingIsCountedAlikeInRecordsAndOtherMembers)
{
    const std::string file = encoded(document(1));
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    for (const int deepest : { 64, 65 }) {
        SCOPED_TRACE(deepest);
        const auto inMember = decode(resigned(file, [&](std::string& p) {
            p.insert(1, "\"comment\":" + nested(deepest - 1) + ",");
        }));
        const auto inRecord = decode(resigned(file, [&](std::string& p) {
            p.insert(p.find("{\"t\"") + 1, "\"z\":" + nested(deepest - 3) + ",");
        }));
        EXPECT_EQ(inMember.has_value(), deepest <= 64);
        EXPECT_EQ(inRecord.has_value(), deepest <= 64);
    }
}

TEST(ZmdFile, DuplicateMembersAreRefused)
{
    const std::string file = encoded(document(1));
    for (const std::string member : { "\"model\":\"DMM-5174K\",", "\"recordCount\":1,", "\"records\":[],",
             "\"savedAt\":\"2024-05-01T13:45:12+08:00\",", "\"formatVersion\":1," }) {
        const auto twice = decode(
            resigned(file, [&](std::string& p) { p.insert(p.size() - 1, "," + member.substr(0, member.size() - 1)); }));
        ASSERT_FALSE(twice) << member;
        EXPECT_EQ(twice.error(), ZmdError::notZmd()) << member;
    }
    std::string twoSignatures = file;
    const auto signature = file.substr(file.find("\"signature\""));
    twoSignatures.insert(file.find("\"signature\""), signature.substr(0, signature.rfind('}')) + ",");
    EXPECT_FALSE(SignedJSONEnvelope::parse(twoSignatures));
}

TEST(ZmdFile, SizeAndRecordLimits)
{
    const auto tooMany = ZmdFile::encode(document(600'001), service());
    ASSERT_FALSE(tooMany);
    EXPECT_EQ(describe(tooMany.error()), "ZmdError.io(記錄筆數 600001 超過 .zmd 上限 600000)");
    const auto small = ZmdFile::encode(document(10), service(), 500);
    ASSERT_FALSE(small);
    EXPECT_NE(describe(small.error()).find(" 位元組超過 .zmd 上限 500"), std::string::npos);
    ZmdDocument negative = document(1);
    negative.deletedCount = -1;
    EXPECT_EQ(describe(ZmdFile::encode(negative, service()).error()), "ZmdError.io(deletedCount 不可為負值（-1）)");
    ZmdDocument far = document(1);
    far.records[0].t = 1e15;
    EXPECT_EQ(describe(ZmdFile::encode(far, service()).error()), "ZmdError.io(記錄時間無法以 ISO-8601 表示)");

    // A file over the byte limit is not read at all.
    TempDir dir;
    const auto big = dir / "big.zmd";
    {
        std::ofstream out(big, std::ios::binary);
        out.seekp(ZmdFile::largestFile);
        out.put('x');
    }
    EXPECT_EQ(ZmdFile::open(big, "DMM-5174K", service()).error(), ZmdError::notZmd());
    EXPECT_EQ(ZmdFile::open(dir / "missing.zmd", "DMM-5174K", service()).error().kind, Kind::io);

    // More elements than the limit: counted, not decoded, refused; exactly
    // as many as the limit open.
    const std::string four = encoded(document(4));
    EXPECT_EQ(ZmdFile::decode(four, "DMM-5174K", service(), ZmdFile::largestFile, 3).error(), ZmdError::notZmd());
    const auto atLimit = ZmdFile::decode(four, "DMM-5174K", service(), ZmdFile::largestFile, 4);
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->records.size(), 4u);

    // A negative deleted count is refused on open too, signed or not.
    EXPECT_EQ(decode(resigned(four, [](std::string& p) {
        p.replace(p.find("\"deletedCount\":2"), 16, "\"deletedCount\":-1");
    })).error().kind,
        Kind::notZmd);
}

// The record limit itself: 600,000 records save and open.
TEST(ZmdFile, ExactlyTheRecordLimitSavesAndOpens)
{
    TempDir dir;
    const auto path = dir / "limit.zmd";
    ASSERT_TRUE(ZmdFile::save(document(600'000), path, service()));
    const auto opened = ZmdFile::open(path, "DMM-5174K", service());
    ASSERT_TRUE(opened) << opened.error().description();
    EXPECT_EQ(opened->records.size(), 600'000u);
}

TEST(ZmdFile, NoChangeInsideThePayloadEverOpens)
{
    const std::string file = encoded(document(5));
    const auto envelope = SignedJSONEnvelope::parse(file);
    const auto payload = envelope->layout().payload;
    std::mt19937 rng(20261206);
    int opened = 0;
    for (int i = 0; i < 10'000; ++i) {
        std::string b = file;
        const auto at = rng() % b.size();
        if (i % 4 == 3) {
            b.resize(at);
        } else {
            const auto old = b[at];
            while (b[at] == old)
                b[at] = static_cast<char>(rng());
        }
        const auto result = decode(b);
        if (result) {
            ++opened;
            // Only edits outside the payload (whitespace-like spots in the
            // envelope) may still open, and then with the same records.
            ASSERT_TRUE(at < payload.begin || at >= payload.end) << "edit at " << at;
            ASSERT_EQ(result->records.size(), 5u);
        }
    }
    EXPECT_LT(opened, 100);
}

// Each build saves a file for the other one to open.
TEST(ZmdFile, FilesOfTheOtherBuildOpen)
{
    const auto dir = testing::crossDirectory();
    if (!dir)
        GTEST_SKIP() << "no exchange folder (ZELMAR_CROSS_DIR)";
    ASSERT_TRUE(ZmdFile::save(document(20), *dir / (std::string(testing::buildName()) + "-saved.zmd"), service()));
    const auto other = *dir / (std::string(testing::otherBuildName()) + "-saved.zmd");
    if (!std::filesystem::exists(other)) {
        if (testing::crossFilesRequired())
            FAIL() << "the other build saved no file";
        GTEST_SKIP() << "the other build has not run yet";
    }
    const auto opened = ZmdFile::open(other, "DMM-5174K", service());
    ASSERT_TRUE(opened) << opened.error().description();
    EXPECT_EQ(opened->records.size(), 20u);
    EXPECT_EQ(opened->records[4].x, "OL");
}

} // namespace
} // namespace zelmar
