#include "meter/hid_report_descriptor.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

TEST(ReportDescriptor, VendorPageWith64ByteReports)
{
    const Bytes d { 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
        0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0 };
    const auto layout = parseReportDescriptor(d);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->inputLength, 65);
    EXPECT_EQ(layout->outputLength, 65);
    EXPECT_FALSE(layout->usesReportIds);
}

TEST(ReportDescriptor, NumberedReportsTakeTheLongest)
{
    const Bytes d { 0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, // id 1: 8 bytes in
        0x85, 0x02, 0x95, 0x20, 0x81, 0x02, // id 2: 32 bytes in
        0x75, 0x01, 0x95, 0x03, 0x91, 0x02 }; // id 2: 3 bits out
    const auto layout = parseReportDescriptor(d);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->usesReportIds);
    EXPECT_EQ(layout->inputLength, 33);
    EXPECT_EQ(layout->outputLength, 2);
}

TEST(ReportDescriptor, PushPopLongItemsAndDamage)
{
    const Bytes pushPop { 0x75, 0x08, 0x95, 0x04, 0xA4, 0x95, 0x10, 0xB4, 0x81, 0x02, 0xFE, 0x02, 0x10, 0xAA, 0xBB };
    ASSERT_TRUE(parseReportDescriptor(pushPop));
    EXPECT_EQ(parseReportDescriptor(pushPop)->inputLength, 5);
    EXPECT_FALSE(parseReportDescriptor(Bytes { 0xB4 })); // pop without push
    EXPECT_FALSE(parseReportDescriptor(Bytes { 0x75 })); // truncated item
    EXPECT_FALSE(parseReportDescriptor(Bytes { 0xFE, 0x05, 0x10 })); // truncated long item
    EXPECT_EQ(parseReportDescriptor(Bytes {})->inputLength, 0);
}

} // namespace
} // namespace zelmar
