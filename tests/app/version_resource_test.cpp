#include "app/version_resource.h"
#include "core/diagnostic_log.h"
#include "security/signature_service.h"

#include <gtest/gtest.h>

#include <random>

namespace zelmar {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void pad4(Bytes& b)
{
    while (b.size() % 4 != 0)
        b.push_back(0);
}

void putText(Bytes& b, std::u16string_view text)
{
    for (char16_t c : text)
        put16(b, static_cast<std::uint16_t>(c));
    put16(b, 0);
}

// One node, laid out as the resource compiler does.
Bytes node(std::u16string_view key, std::uint16_t type, const Bytes& value, std::uint16_t valueLength,
    const std::vector<Bytes>& children = {})
{
    Bytes b(6, 0);
    putText(b, key);
    pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad4(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    b[0] = static_cast<std::uint8_t>(b.size());
    b[1] = static_cast<std::uint8_t>(b.size() >> 8);
    b[2] = static_cast<std::uint8_t>(valueLength);
    b[3] = static_cast<std::uint8_t>(valueLength >> 8);
    b[4] = static_cast<std::uint8_t>(type);
    return b;
}

Bytes stringEntry(std::u16string_view name, std::u16string_view text)
{
    Bytes value;
    putText(value, text);
    return node(name, 1, value, static_cast<std::uint16_t>(text.size() + 1));
}

Bytes fixedInfo(std::uint32_t fileHigh, std::uint32_t fileLow, std::uint32_t productHigh, std::uint32_t productLow)
{
    Bytes b(52, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 0xFEEF04BD);
    put32(4, 0x00010000);
    put32(8, fileHigh);
    put32(12, fileLow);
    put32(16, productHigh);
    put32(20, productLow);
    return b;
}

Bytes block(const Bytes& fixed, const std::vector<Bytes>& tables)
{
    return node(u"VS_VERSION_INFO", 0, fixed, static_cast<std::uint16_t>(fixed.size()),
        { node(u"StringFileInfo", 1, {}, 0, tables) });
}

Bytes table(std::u16string_view key, const std::vector<Bytes>& entries)
{
    return node(key, 1, {}, 0, entries);
}

std::optional<AppVersionResolver::Resolved> resolveBlock(const Bytes& b)
{
    const auto info = VersionResourceParser::parse(b);
    return info ? AppVersionResolver::resolve(*info) : std::nullopt;
}

TEST(VersionResource, ProductVersionStringFirst)
{
    const Bytes b = block(fixedInfo(0x00010000, 0, 0x00020001, 0x00000005),
        { table(u"040904B0",
            { stringEntry(u"CompanyName", u"ZELMAR"), stringEntry(u"ProductVersion", u" 2.1.0-beta.2 ") }) });
    const auto info = VersionResourceParser::parse(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->stringTables.at("040904B0").at("CompanyName"), "ZELMAR");
    EXPECT_EQ(info->fixedProductVersion, (FourPartVersion { 2, 1, 0, 5 }));
    const auto resolved = AppVersionResolver::resolve(*info);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->version, "2.1.0-beta.2");
    EXPECT_EQ(resolved->source, AppVersionResolver::Source::productVersionString);
}

TEST(VersionResource, FallsBackToTheFixedVersions)
{
    auto r = resolveBlock(block(fixedInfo(0, 0, 0x00020001, 0x00000005),
        { table(u"040904B0", { stringEntry(u"ProductVersion", u"2.1.0.5") }) }));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->version, "2.1.0");
    EXPECT_EQ(r->source, AppVersionResolver::Source::fixedProductVersion);

    r = resolveBlock(block(fixedInfo(0x00010000, 0x00030000, 0, 0), {}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->version, "1.0.3");
    EXPECT_EQ(r->source, AppVersionResolver::Source::fixedFileVersion);
    EXPECT_EQ(AppVersionResolver::sourceText(r->source), "fixedFileVersion");

    EXPECT_FALSE(resolveBlock(block(fixedInfo(0, 0, 0, 0), {})));
    // A bad signature leaves the fixed versions out; the strings still count.
    Bytes noSignature = fixedInfo(0x00010000, 0, 0x00010000, 0);
    noSignature[0] = 0;
    EXPECT_FALSE(resolveBlock(block(noSignature, {})));
}

TEST(VersionResource, TablesInKeyOrderAndAnUnparsableCandidateStops)
{
    auto r = resolveBlock(block(fixedInfo(0, 0, 0, 0),
        { table(u"040904B0", { stringEntry(u"ProductVersion", u"1.0.0") }),
            table(u"040404B0", { stringEntry(u"ProductVersion", u"3.0.0") }) }));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->version, "3.0.0");

    r = resolveBlock(block(fixedInfo(0, 0, 0x00050000, 0),
        { table(u"040404B0", { stringEntry(u"ProductVersion", u"bad") }),
            table(u"040904B0", { stringEntry(u"ProductVersion", u"1.0.0") }) }));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->version, "5.0.0");
    EXPECT_EQ(r->source, AppVersionResolver::Source::fixedProductVersion);

    r = resolveBlock(block(fixedInfo(0, 0, 0, 0),
        { table(u"040404B0", { stringEntry(u"ProductVersion", u"  ") }),
            table(u"040904B0", { stringEntry(u"ProductVersion", u"1.0.1") }) }));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->version, "1.0.1");
}

TEST(VersionResource, DamageKeepsWhatCameBefore)
{
    Bytes third = stringEntry(u"Comments", u"x");
    third[0] = 4; // a node length below 6
    const Bytes b = block(fixedInfo(0, 0, 0, 0),
        { table(u"040904B0",
            { stringEntry(u"A", u"1"), stringEntry(u"ProductVersion", u"4.5.6"), third, stringEntry(u"D", u"4") }) });
    const auto info = VersionResourceParser::parse(b);
    ASSERT_TRUE(info);
    const auto& entries = info->stringTables.at("040904B0");
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(AppVersionResolver::resolve(*info)->version, "4.5.6");

    Bytes wrongKey = block(fixedInfo(0x00010000, 0, 0, 0), {});
    wrongKey[6] = 'X';
    EXPECT_FALSE(VersionResourceParser::parse(wrongKey));
    Bytes shortRoot = block(fixedInfo(0x00010000, 0, 0, 0), {});
    shortRoot[0] = 5;
    shortRoot[1] = 0;
    EXPECT_FALSE(VersionResourceParser::parse(shortRoot));
    const Bytes noNul { 40, 0, 0, 0, 0, 0, 'V', 0, 'S', 0 };
    EXPECT_FALSE(VersionResourceParser::parse(noNul));
    EXPECT_FALSE(VersionResourceParser::parse(Bytes {}));
}

TEST(VersionResource, NestingBeyondSixLevelsIsNotRead)
{
    // Root(0) > StringFileInfo(1) > table(2) > entry(3): entries are read.
    // A chain deeper than six levels stops at the limit without failing.
    Bytes deep = stringEntry(u"L", u"x");
    for (int i = 0; i < 10; ++i)
        deep = node(u"N", 1, {}, 0, { deep });
    const Bytes b = node(u"VS_VERSION_INFO", 0, fixedInfo(0, 0, 0x00010000, 0), 52, { deep });
    EXPECT_TRUE(VersionResourceParser::parse(b));
}

TEST(VersionResource, RandomAndMutatedBlocksNeverCrash)
{
    const Bytes valid = block(fixedInfo(0x00010000, 0, 0x00020001, 5),
        { table(u"040904B0", { stringEntry(u"CompanyName", u"ZELMAR"), stringEntry(u"ProductVersion", u"2.1.0") }),
            table(u"040404B0", { stringEntry(u"ProductVersion", u"2.1.0") }) });
    std::mt19937 rng(5174);
    for (int i = 0; i < 100'000; ++i) {
        Bytes b = valid;
        switch (rng() % 3) {
        case 0:
            for (int k = 0; k < 1 + static_cast<int>(rng() % 4); ++k)
                b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
            break;
        case 1:
            b.resize(rng() % b.size());
            break;
        default:
            b.resize(rng() % 300);
            for (auto& x : b)
                x = static_cast<std::uint8_t>(rng());
            break;
        }
        b.shrink_to_fit();
        if (auto info = VersionResourceParser::parse(b))
            (void)AppVersionResolver::resolve(*info);
    }
}

TEST(VersionResource, TheRunningProgramKnowsItsVersion)
{
    log::LogCapture log;
    EXPECT_EQ(loadApplicationVersion(), ZELMAR_TEST_PROJECT_VERSION);
#ifdef _WIN32
    // Read from this test executable's own version resource.
    EXPECT_TRUE(log.contains(
        std::string("[DMMApp] 版本：") + ZELMAR_TEST_PROJECT_VERSION + "（來源 productVersionString）\r\n"));
#endif
}

TEST(VersionResource, ADevelopmentBuildSaysSo)
{
    log::LogCapture log;
    logWhenDevelopmentBuild();
    if (UpdateKeyCatalog::isDevelopmentKey()) {
        EXPECT_EQ(displayedVersion("1.2.3"), "1.2.3 (development build)");
        EXPECT_TRUE(log.contains("[DMMApp] 警告：此程式以開發用更新金鑰建置（開發版本），不可作為正式版本發行\r\n"));
    } else {
        EXPECT_EQ(displayedVersion("1.2.3"), "1.2.3");
        EXPECT_FALSE(log.contains("開發版本"));
    }
}

} // namespace
} // namespace zelmar
