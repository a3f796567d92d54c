#include "update/semantic_version.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

SemanticVersion v(const char* text)
{
    auto parsed = SemanticVersion::parse(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(SemanticVersion {});
}

TEST(SemanticVersion, ParsesOnlyTheStrictForm)
{
    for (const char* good : { "1.2.3", "0.0.0", "1.2.3-beta.1", "1.2.3-rc-1", "10.20.30", "1.0.0-0.3.7",
             "1.0.0-x-y-z.--", "9223372036854775807.0.0" }) {
        const auto parsed = SemanticVersion::parse(good);
        ASSERT_TRUE(parsed) << good;
        EXPECT_EQ(parsed->text(), good);
        EXPECT_EQ(SemanticVersion::parse(parsed->text()), parsed);
    }
    for (const char* bad : { "1.2", "1.2.3.4", "v1.2.3", "01.2.3", "1.2.3-", "1.2.3-beta..1", "1.2.3-01", "1.2.3+build",
             "", "1..3", "1.2.3-be ta", "9223372036854775808.0.0", "-1.2.3", " 1.2.3", "1.2.3-é" })
        EXPECT_FALSE(SemanticVersion::parse(bad)) << bad;
    EXPECT_FALSE(SemanticVersion::parse(std::string(101, '1')));
    EXPECT_TRUE(SemanticVersion::parse("1.2.3-" + std::string(94, 'a')));
    EXPECT_FALSE(SemanticVersion::parse("1.2.3-" + std::string(95, 'a')));
}

TEST(SemanticVersion, PrecedenceOfSemanticVersioning)
{
    const char* ordered[] = { "1.0.0-alpha", "1.0.0-alpha.1", "1.0.0-alpha.beta", "1.0.0-beta", "1.0.0-beta.2",
        "1.0.0-beta.11", "1.0.0-rc.1", "1.0.0", "1.9.0", "1.10.0", "2.0.0" };
    for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
        EXPECT_LT(v(ordered[i]), v(ordered[i + 1])) << ordered[i] << " < " << ordered[i + 1];
        EXPECT_GT(v(ordered[i + 1]), v(ordered[i]));
    }
    EXPECT_EQ(v("1.0.0") <=> v("1.0.0"), std::strong_ordering::equal);
    EXPECT_LT(v("1.0.0-1"), v("1.0.0-a")); // numeric identifiers first
    EXPECT_LT(v("1.0.0-9"), v("1.0.0-10")); // by value, not by text
    EXPECT_LT(v("1.0.0-A"), v("1.0.0-a")); // ASCII order
}

} // namespace
} // namespace zelmar
