#include "core/reading.h"
#include "core/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zelmar {
namespace {

using C = DmmFunction::Case;

TEST(DmmFunction, CodesSelectCasesAndUnknownKeepsItsByte)
{
    EXPECT_EQ(DmmFunction(0).kind(), C::acv);
    EXPECT_EQ(DmmFunction(2).kind(), C::dcv);
    EXPECT_EQ(DmmFunction(18).kind(), C::hfe);
    EXPECT_EQ(DmmFunction(30).kind(), C::inrush);
    EXPECT_EQ(DmmFunction(31), DmmFunction::unknown(31));
    EXPECT_EQ(DmmFunction(31).code(), 31);
    EXPECT_EQ(DmmFunction(255).kind(), C::unknown);
    EXPECT_NE(DmmFunction(5), DmmFunction::unknown(5));
    EXPECT_NE(DmmFunction::unknown(40), DmmFunction::unknown(41));
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(DmmFunction(static_cast<std::uint8_t>(code)).code(), code);
}

TEST(DmmFunction, PredicatesFollowTheFunctionSets)
{
    const DmmFunction acDcV(25), lpfAMeter(26), hfe(18), lozV(21);
    EXPECT_TRUE(acDcV.isAC());
    EXPECT_TRUE(acDcV.isDC());
    EXPECT_FALSE(acDcV.isLPF());
    EXPECT_TRUE(lpfAMeter.isAC());
    EXPECT_TRUE(lpfAMeter.isLPF());
    EXPECT_FALSE(lpfAMeter.isDC());
    EXPECT_FALSE(hfe.isAC() || hfe.isDC() || hfe.isLPF() || hfe.isDiode() || hfe.isContinuity());
    EXPECT_TRUE(lozV.isAC());
    EXPECT_FALSE(lozV.isDC());
    EXPECT_TRUE(DmmFunction(8).isDiode());
    EXPECT_TRUE(DmmFunction(7).isContinuity());

    // The sets named case by case, against the masks.
    const C ac[] = { C::acv, C::acmV, C::acMicroA, C::acMilliA, C::acA10, C::lozV, C::acAClamp, C::lpfV, C::acDcV,
        C::lpfAMeter, C::acDcAMeter, C::lpfAClamp, C::acDcAClamp };
    const C dc[]
        = { C::dcv, C::dcmV, C::dcMicroA, C::dcMilliA, C::dcA10, C::dcAClamp, C::acDcV, C::acDcAMeter, C::acDcAClamp };
    int acCount = 0, dcCount = 0;
    for (int code = 0; code < 256; ++code) {
        const DmmFunction f(static_cast<std::uint8_t>(code));
        const bool inAc = std::find(std::begin(ac), std::end(ac), f.kind()) != std::end(ac);
        const bool inDc = std::find(std::begin(dc), std::end(dc), f.kind()) != std::end(dc);
        EXPECT_EQ(f.isAC(), inAc && !f.isUnknown()) << code;
        EXPECT_EQ(f.isDC(), inDc && !f.isUnknown()) << code;
        acCount += f.isAC();
        dcCount += f.isDC();
    }
    EXPECT_EQ(acCount, 13);
    EXPECT_EQ(dcCount, 9);
    EXPECT_FALSE(DmmFunction::unknown(0).isAC());
}

TEST(DMMUnitTable, UnitsByCodeAndRange)
{
    EXPECT_EQ(DMMUnitTable::unit(6, 5), "M\u03A9");
    EXPECT_EQ(DMMUnitTable::unit(6, 0), "\u03A9");
    EXPECT_EQ(DMMUnitTable::unit(6, 6), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(9, -1), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(9, 3), "\u00B5F");
    EXPECT_EQ(DMMUnitTable::unit(9, 7), "mF");
    EXPECT_EQ(DMMUnitTable::unit(9, 8), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(4, 6), "MHz");
    EXPECT_EQ(DMMUnitTable::unit(4, 7), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(22, 0), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(23, 0), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(19, 0), "");
    EXPECT_EQ(DMMUnitTable::unit(20, 9), "");
    EXPECT_EQ(DMMUnitTable::unit(2, 9), "V");
    EXPECT_EQ(DMMUnitTable::unit(2, -1), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(10, 0), "\u00B0C");
    EXPECT_EQ(DMMUnitTable::unit(11, 0), "\u00B0F");
    EXPECT_EQ(DMMUnitTable::unit(12, 0), "\u00B5A");
    EXPECT_EQ(DMMUnitTable::unit(27, 0), "A");
    EXPECT_EQ(DMMUnitTable::unit(28, 0), std::nullopt);
    EXPECT_EQ(DMMUnitTable::unit(30, 0), std::nullopt);
    // The exact bytes: U+03A9 GREEK CAPITAL OMEGA and U+00B5 MICRO SIGN.
    EXPECT_EQ(*DMMUnitTable::unit(7, 0), "\xCE\xA9");
    EXPECT_EQ(*DMMUnitTable::unit(13, 0),
        "\xC2\xB5"
        "A");
}

TEST(DMMValueParser, DecimalNumbersOnly)
{
    EXPECT_EQ(DMMValueParser::parse("  -0.052 "), -0.052);
    EXPECT_EQ(DMMValueParser::parse("0.000"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("+12.5"), 12.5);
    EXPECT_EQ(DMMValueParser::parse(".5"), 0.5);
    EXPECT_EQ(DMMValueParser::parse("5."), 5.0);
    EXPECT_EQ(DMMValueParser::parse("1.5e3"), 1500.0);
    EXPECT_EQ(DMMValueParser::parse("\t1.5E-3\u3000"), 0.0015);
    EXPECT_EQ(DMMValueParser::parse(" OL "), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("-OL"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("0.oL"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("  "), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse(""), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("1.2.3"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("1,5"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("- 1"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("1e"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("."), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("--1"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("1\n"), std::nullopt); // line breaks are not trimmed
}

TEST(DMMValueParser, NonFiniteAndNonDecimalFormsHaveNoValue)
{
    for (const char* text : { "inf", "-inf", "INF", "infinity", "nan", "NaN", "0x1p3", "0x10", "1e999", "-1e400" })
        EXPECT_EQ(DMMValueParser::parse(text), std::nullopt) << text;
    EXPECT_EQ(DMMValueParser::parse("1e-400"), 0.0); // underflow is still a finite number
    // Too large is too large, however the exponent reads: the magnitude is
    // what the digits and the exponent make together.
    const std::string hundreds(400, '0');
    EXPECT_EQ(DMMValueParser::parse("1" + hundreds + "e-1"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("-1" + hundreds + "e-1"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("0.5e309"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("1e99999999999999999999"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("0." + hundreds + "1"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("1" + hundreds + "e-800"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("1e-99999999999999999999"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("-0.001e-400"), -0.0);
    EXPECT_EQ(DMMValueParser::parse("1" + hundreds.substr(0, 300) + "e-1"), 1e299);
    // Exponents at the edge of a 64-bit integer: no overflow in the sum of
    // order and exponent (the sanitizer build reported one).
    EXPECT_EQ(DMMValueParser::parse("1e9223372036854775807"), std::nullopt);
    EXPECT_EQ(DMMValueParser::parse("0.001e-9223372036854775807"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("0.001e-9223372036854775808"), 0.0);
    EXPECT_EQ(DMMValueParser::parse("12e9223372036854775806"), std::nullopt);
}

TEST(Reading, DerivesTextValueAndUnit)
{
    DmmFlags flags;
    flags.hold = true;
    const Reading r(1000.25, 4, 3, " 12.34 ", flags, 42);
    EXPECT_EQ(r.timestamp(), 1000.25);
    EXPECT_EQ(r.function().kind(), DmmFunction::Case::hz);
    EXPECT_EQ(r.rangeIndex(), 3);
    EXPECT_EQ(r.text(), "12.34");
    EXPECT_EQ(r.value(), 12.34);
    EXPECT_EQ(r.unit(), "kHz");
    EXPECT_TRUE(r.flags().hold);
    EXPECT_EQ(r.barGraph(), 42);

    const Reading unknown(0, 40, 0, "1.0", {}, 0);
    EXPECT_EQ(unknown.function(), DmmFunction::unknown(40));
    EXPECT_EQ(unknown.unit(), "");

    const Reading overload(0, 6, 2, "  0L.  ", {}, 0); // zero-L is not O-L
    EXPECT_EQ(overload.value(), std::nullopt);
    const Reading ol(0, 6, 2, " .OL  ", {}, 0);
    EXPECT_EQ(ol.text(), ".OL");
    EXPECT_EQ(ol.value(), std::nullopt);
    EXPECT_EQ(ol.unit(), "k\u03A9");
}

} // namespace
} // namespace zelmar
