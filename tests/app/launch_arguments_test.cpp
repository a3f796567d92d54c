#include "app/launch_arguments.h"

#include <gtest/gtest.h>

#include <random>

namespace zelmar {
namespace {

using namespace LaunchArguments;

TEST(LaunchArguments, FirstNonOptionArgumentResolved)
{
    const std::vector<std::u16string> args { u"program.exe", u"-x", u"\"C:\\data\\a.zmd\"" };
    EXPECT_EQ(documentPath(args, u"C:\\work"), u"C:\\data\\a.zmd");
    const std::vector<std::u16string> quotes { u"p.exe", u"  \"\" ", u"\t\r\n", u"b.zmd", u"c.zmd" };
    EXPECT_EQ(documentPath(quotes, u"D:\\x\\"), u"D:\\x\\b.zmd");
    EXPECT_EQ(documentPath(std::vector<std::u16string> { u"p.exe", u"--flag" }, u"C:\\"), std::nullopt);
    EXPECT_EQ(documentPath(std::vector<std::u16string> { u"p.exe" }, u"C:\\"), std::nullopt);
    EXPECT_EQ(documentPath(std::vector<std::u16string> {}, u"C:\\"), std::nullopt);
}

TEST(LaunchArguments, ResolveAgainstTheWorkingDirectory)
{
    EXPECT_EQ(resolve(u".\\a.zmd", u"C:\\work\\"), u"C:\\work\\a.zmd");
    EXPECT_EQ(resolve(u"./a.zmd", u"C:\\work"), u"C:\\work\\a.zmd");
    EXPECT_EQ(resolve(u"\\tmp\\a.zmd", u"D:\\x"), u"D:\\tmp\\a.zmd");
    EXPECT_EQ(resolve(u"/tmp/a.zmd", u"D:\\x"), u"D:\\tmp\\a.zmd");
    EXPECT_EQ(resolve(u"\\tmp\\a.zmd", u"\\\\server\\share"), u"\\tmp\\a.zmd");
    EXPECT_EQ(resolve(u"\\\\server\\share\\a.zmd", u"C:\\w"), u"\\\\server\\share\\a.zmd");
    EXPECT_EQ(resolve(u"c:/a.zmd", u"D:\\w"), u"c:/a.zmd");
    EXPECT_EQ(resolve(u"..\\a.zmd", u"C:\\w\\x"), u"C:\\w\\x\\..\\a.zmd");
    EXPECT_EQ(resolve(u"a.zmd", u""), u"a.zmd");
    EXPECT_EQ(resolve(u"C:a.zmd", u"D:\\w"), u"D:\\w\\C:a.zmd"); // drive-relative is not absolute
}

TEST(OpenDocumentMessage, EncodeAndDecode)
{
    const auto bytes = OpenDocumentMessage::encode(u"C:\\a");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t> { 0x43, 0, 0x3A, 0, 0x5C, 0, 0x61, 0 }));
    EXPECT_EQ(OpenDocumentMessage::decode(0x5A4D4431, *bytes), u"C:\\a");

    EXPECT_TRUE(OpenDocumentMessage::encode(std::u16string(32'767, u'a')));
    EXPECT_FALSE(OpenDocumentMessage::encode(std::u16string(32'768, u'a')));
    EXPECT_FALSE(OpenDocumentMessage::encode(u""));
    EXPECT_FALSE(OpenDocumentMessage::encode(std::u16string(u"a\0b", 3)));

    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4432, *bytes));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, std::vector<std::uint8_t> { 0x41, 0, 0x42 }));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, std::vector<std::uint8_t>(65'536, 0x41)));
    EXPECT_TRUE(OpenDocumentMessage::decode(0x5A4D4431, std::vector<std::uint8_t>(65'534, 0x41)));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, std::vector<std::uint8_t> { 0x41, 0, 0, 0 }));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, {}));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, *OpenDocumentMessage::encode(u"  \t ")));
    EXPECT_EQ(OpenDocumentMessage::decode(0x5A4D4431, *OpenDocumentMessage::encode(u" a.zmd")), u" a.zmd");
    // Surrogates must pair up.
    EXPECT_TRUE(OpenDocumentMessage::decode(0x5A4D4431, *OpenDocumentMessage::encode(u"\xD83D\xDE00")));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431, *OpenDocumentMessage::encode(u"a\xD83D")));
    EXPECT_FALSE(OpenDocumentMessage::decode(0x5A4D4431,
        *OpenDocumentMessage::encode(u"\xDE00"
                                     u"a")));
}

TEST(OpenDocumentMessage, RandomPayloadsNeverCrash)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 200'000; ++i) {
        std::vector<std::uint8_t> bytes(rng() % 64);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xD8 + rng() % 8 : rng());
        bytes.shrink_to_fit();
        const auto path = OpenDocumentMessage::decode(0x5A4D4431, bytes);
        if (path) {
            ASSERT_EQ(path->size() * 2, bytes.size());
            ASSERT_EQ(OpenDocumentMessage::encode(*path), bytes);
        }
    }
}

} // namespace
} // namespace zelmar
