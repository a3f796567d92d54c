#include "storage/timestamp.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zelmar {
namespace {

// 2024-05-01T13:45:12+08:00 is 2024-05-01T05:45:12Z.
constexpr double k20240501 = 1714542312.0;

TEST(Timestamp, CanonicalTextWithOffset)
{
    EXPECT_EQ(canonicalTimestamp(k20240501, 8 * 3600), "2024-05-01T13:45:12+08:00");
    EXPECT_EQ(canonicalTimestamp(k20240501, 0), "2024-05-01T05:45:12+00:00");
    EXPECT_EQ(canonicalTimestamp(k20240501, -(5 * 3600 + 30 * 60)), "2024-05-01T00:15:12-05:30");
    // The fraction is cut, never carried up, also before 1970.
    EXPECT_EQ(canonicalTimestamp(k20240501 + 0.999, 0), "2024-05-01T05:45:12+00:00");
    EXPECT_EQ(canonicalTimestamp(-0.5, 0), "1969-12-31T23:59:59+00:00");
    EXPECT_EQ(canonicalTimestamp(0, 0), "1970-01-01T00:00:00+00:00");
    EXPECT_EQ(canonicalTimestamp(951782400, 0), "2000-02-29T00:00:00+00:00");
}

TEST(Timestamp, CanonicalRefusesWhatItCannotWrite)
{
    EXPECT_FALSE(canonicalTimestamp(NAN, 0));
    EXPECT_FALSE(canonicalTimestamp(INFINITY, 0));
    EXPECT_FALSE(canonicalTimestamp(1e14, 0));
    EXPECT_FALSE(canonicalTimestamp(0, 30)); // not whole minutes
    EXPECT_FALSE(canonicalTimestamp(0, 86'400)); // a day or more
    EXPECT_FALSE(canonicalTimestamp(253402300800.0, 0)); // year 10000
    EXPECT_FALSE(canonicalTimestamp(-62167219201.0, 0)); // year -1
    EXPECT_EQ(canonicalTimestamp(-62167219200.0, 0), "0000-01-01T00:00:00+00:00");
    EXPECT_EQ(generalTimestamp(253402300800.0, 0), "10000-01-01T00:00:00+00:00");
    EXPECT_FALSE(generalTimestamp(NAN, 0));
}

TEST(Timestamp, ReadsFastAndFractionalForms)
{
    EXPECT_EQ(parseTimestamp("2024-05-01T13:45:12+08:00"), k20240501);
    EXPECT_EQ(parseTimestamp("2024-05-01T05:45:12Z"), k20240501);
    EXPECT_EQ(parseTimestamp("2024-05-01t05:45:12z"), k20240501);
    EXPECT_EQ(parseTimestamp("2024-05-01T00:15:12-05:30"), k20240501);
    EXPECT_EQ(parseTimestamp("2024-05-01T13:45:12.250+08:00"), k20240501 + 0.25);
    EXPECT_EQ(parseTimestamp("2024-05-01T05:45:12.5Z"), k20240501 + 0.5);
    // A day beyond the month runs on into the next month.
    EXPECT_EQ(parseTimestamp("2024-02-31T00:00:00Z"), parseTimestamp("2024-03-02T00:00:00Z"));

    for (const char* bad : { "2024-05-01 13:45:12+08:00", "2024-05-01T13:45:12", "2024-13-01T00:00:00Z",
             "2024-05-01T24:00:00Z", "2024-05-01T13:45:12+0800", "2024-05-01T13:45:12.Z", "2024-05-01T13:45:12+08:00x",
             "2024-05-00T00:00:00Z", "", "2024-05-01T13:45:12+24:00", "x024-05-01T13:45:12Z" })
        EXPECT_FALSE(parseTimestamp(bad)) << bad;
}

// The general encoder writes years beyond 0 to 9999 with more digits or a
// sign; the reader takes back every one of them.
TEST(Timestamp, ExpandedYearsReadBackWhatTheGeneralEncoderWrote)
{
    for (const double instant : { -62167219260.0, -62198755200.0, 253402300800.0, 253402300799.0 + 86400 * 400,
             -1e12, 9e17, 0.0, k20240501 })
        for (const int offset : { 0, 60, -3600, 8 * 3600 + 45 * 60 }) {
            const auto text = generalTimestamp(instant, offset);
            ASSERT_TRUE(text);
            EXPECT_EQ(parseTimestamp(*text), instant) << *text;
        }
    EXPECT_EQ(parseTimestamp("-0001-12-31T23:59:00+00:00"), -62167219260.0);
    EXPECT_EQ(parseTimestamp("10000-01-01T00:00:00+00:00"), 253402300800.0);
    for (const char* bad : { "-001-12-31T23:59:00Z", "00001-01-01T00:00:00Z", "-00001-01-01T00:00:00Z", "10000-01-01T00:00:00+00:00x",
             "10000-13-01T00:00:00Z", "1000000000000-01-01T00:00:00Z", "-10000-01-01T00:00:00.5Z", "--0001-01-01T00:00:00Z" })
        EXPECT_FALSE(parseTimestamp(bad)) << bad;
}

TEST(Timestamp, CivilConversionRoundTrips)
{
    for (std::int64_t s = -2'000'000'000'000; s < 2'000'000'000'000; s += 7'777'777'777) {
        const CivilTime c = civilFromSeconds(s);
        EXPECT_EQ(daysFromCivil(c.year, c.month, c.day) * 86'400 + c.hour * 3600 + c.minute * 60 + c.second, s);
    }
}

} // namespace
} // namespace zelmar
