#include "ui/chart_model.h"

#include <gtest/gtest.h>

#include <string>

using namespace zelmar;
using namespace zelmar::ui;

namespace {

constexpr std::uint8_t acv = 0;
constexpr std::uint8_t dcv = 2;
constexpr std::uint8_t dcmV = 3;
constexpr std::uint8_t ohm = 6;

Reading reading(double t, std::string_view text, std::uint8_t code = dcv, int range = 0)
{
    return Reading(t, code, range, text, {}, 0);
}

std::string clockText(double t)
{
    const long long s = static_cast<long long>(t);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", (s / 3600) % 24, (s / 60) % 60, s % 60);
    return buffer;
}

} // namespace

TEST(ChartSeries, SegmentsWhereFunctionOrUnitChanges)
{
    ChartSeries series;
    series.append(reading(0, "1.000"));
    series.append(reading(1, "OL")); // overload: kept, not valid, marked
    series.append(reading(2, "1.100")); // not joined across the overload
    series.append(reading(3, "12.00", dcmV)); // mV
    series.append(reading(4, "1.000", ohm, 0));
    series.append(reading(5, "1.000", ohm, 1)); // Ω to kΩ
    series.append(reading(6, "1.000", acv, 1)); // AC volts: the unit of DC volts, another function
    series.append(reading(7, "2.000", dcv, 1));
    const auto s = series.samples();
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].segment, 0);
    EXPECT_FALSE(s[1].valid);
    EXPECT_TRUE(s[1].overload);
    EXPECT_EQ(s[1].v, 0);
    EXPECT_EQ(s[1].segment, 0);
    EXPECT_EQ(s[2].segment, 1);
    EXPECT_EQ(s[3].segment, 2);
    EXPECT_EQ(s[4].segment, 3);
    EXPECT_EQ(s[5].segment, 4);
    EXPECT_EQ(s[6].segment, 5);
    EXPECT_EQ(s[7].segment, 6);
    EXPECT_EQ(s[6].unit, s[0].unit);
    EXPECT_NE(s[5].unit, s[4].unit);
    EXPECT_EQ(series.currentUnit(), "V");
    EXPECT_TRUE(series.hidesOtherUnits());

    const std::size_t capacity = series.samples().size();
    series.clear();
    EXPECT_TRUE(series.samples().empty());
    EXPECT_EQ(series.currentUnit(), "");
    series.append(reading(9, "2.0", ohm, 0));
    EXPECT_EQ(series.samples()[0].segment, 0); // the first after a clear starts segment 0
    EXPECT_GE(capacity, 6u);
}

TEST(ChartModel, ValueRangeAndLabels)
{
    EXPECT_EQ(valueRange({}).lo, 0);
    EXPECT_EQ(valueRange({}).hi, 1);
    const std::vector<ChartSample> overloads = { { 0, 0, 0, false }, { 1, 0, 0, false } };
    EXPECT_EQ(valueRange(overloads).hi, 1);
    const std::vector<ChartSample> one = { { 0, 3, 0, true } };
    EXPECT_DOUBLE_EQ(valueRange(one).lo, 2.5);
    EXPECT_DOUBLE_EQ(valueRange(one).hi, 3.5);
    const std::vector<ChartSample> big = { { 0, 200, 0, true } };
    EXPECT_DOUBLE_EQ(valueRange(big).lo, 190);
    const std::vector<ChartSample> spread = { { 0, 1, 0, true }, { 1, 99, 0, false }, { 2, 3, 0, true } };
    EXPECT_DOUBLE_EQ(valueRange(spread).lo, 0.9);
    EXPECT_DOUBLE_EQ(valueRange(spread).hi, 3.1);

    EXPECT_EQ(valueLabel(0), "0");
    EXPECT_EQ(valueLabel(2e6), "2.0e+06");
    EXPECT_EQ(valueLabel(0.0005), "5.0e-04");
    EXPECT_EQ(valueLabel(-1234.6), "-1235");
    EXPECT_EQ(valueLabel(123.45), "123.5"); // 123.45 is stored a little above .45
    EXPECT_EQ(valueLabel(12.345), "12.35");
    EXPECT_EQ(valueLabel(1.5), "1.500");
    EXPECT_EQ(valueLabel(0.001), "0.001");
}

TEST(ChartModel, PlotGridAndTimeAxis)
{
    const Rect plot = plotRect({ 0, 0, 600, 300 }, 96);
    EXPECT_EQ(plot, (Rect { 44, 18, 590, 282 }));
    EXPECT_TRUE(plotIsDrawable(plot, 96));
    EXPECT_FALSE(plotIsDrawable(plotRect({ 0, 0, 74, 300 }, 96), 96)); // exactly 20 wide
    EXPECT_TRUE(plotIsDrawable(plotRect({ 0, 0, 75, 300 }, 96), 96));

    const std::vector<GridLine> grid = gridLines(plot, { 0, 4 });
    ASSERT_EQ(grid.size(), 5u);
    EXPECT_EQ(grid[0].y, 282);
    EXPECT_TRUE(grid[0].isAxis);
    EXPECT_EQ(grid[1].y, 282 - 66);
    EXPECT_DOUBLE_EQ(grid[1].value, 1);
    EXPECT_EQ(grid[4].y, 18);

    std::vector<ChartSample> samples = { { 3600, 1, 0, true }, { 3600, 2, 0, true } };
    auto labels = timeLabels(samples, plot, clockText);
    ASSERT_EQ(labels.size(), 1u); // equal timestamps: one label at the left
    EXPECT_EQ(labels[0].x, plot.left);
    EXPECT_EQ(labels[0].text, "01:00:00");

    samples = { { 3600, 1, 0, true }, { 3600.4, 2, 0, true } }; // same text
    EXPECT_EQ(timeLabels(samples, plot, clockText).size(), 1u);

    samples = { { 3600, 1, 0, false }, { 3700, 2, 0, true }, { 3720, 0, 0, false } };
    labels = timeLabels(samples, plot, clockText);
    ASSERT_EQ(labels.size(), 3u); // narrower than 1024: three labels
    EXPECT_EQ(labels[1].x, 44 + 273);
    EXPECT_EQ(labels[1].text, "01:01:00");
    EXPECT_EQ(labels[1].align, LabelAlign::centre);
    EXPECT_EQ(labels[2].x, plot.right);
    EXPECT_EQ(labels[2].align, LabelAlign::right);
    EXPECT_EQ(timeLabels(samples, { 0, 0, 1500, 100 }, clockText).size(), 4u);
    EXPECT_EQ(timeLabels(samples, { 0, 0, 1920, 100 }, clockText).size(), 5u);
    EXPECT_TRUE(timeLabels(std::span<const ChartSample> {}, plot, clockText).empty());
}

TEST(ChartModel, ColumnsReduceManySamplesAndBreakAtSegments)
{
    const Rect plot { 10, 0, 20, 100 }; // 10 columns, 100 rows
    std::vector<ChartSample> samples;
    for (int i = 0; i <= 90; ++i) // 91 samples over 9 seconds: about 10 a column
        samples.push_back({ i / 10.0, static_cast<double>(i % 10), i < 50 ? 0 : 1, i != 45 });
    std::vector<ChartColumn> columns;
    reduceToColumns(samples, { 0, 10 }, plot, columns);
    ASSERT_EQ(columns.size(), 10u);
    // Column 0 holds samples 0..4 (t up to 0.4 rounds to 0).
    EXPECT_EQ(columns[0].firstY, 100);
    EXPECT_EQ(columns[0].minY, 100 - 40);
    EXPECT_EQ(columns[0].maxY, 100);
    EXPECT_EQ(columns[0].lastY, 60);
    // Column 5 (t 4.5..5.4): sample 45 is invalid, 46..49 are segment 0 and
    // 50..54 segment 1, which replaces them.
    EXPECT_EQ(columns[5].segment, 1);
    EXPECT_EQ(columns[5].firstY, 100);
    EXPECT_EQ(columns[5].lastY, 60);

    const auto lines = tracePolylines(columns, plot.left);
    ASSERT_EQ(lines.size(), 2u); // segments are never joined
    EXPECT_EQ(lines[0].front(), (Point { 10, 100 }));
    EXPECT_EQ(lines[1].front(), (Point { 15, 100 }));
    EXPECT_EQ(lines[1].back().x, 19);

    // One sample: one column at the left edge, drawn as a one-pixel stroke.
    const std::vector<ChartSample> one = { { 5, 2, 0, true } };
    reduceToColumns(one, valueRange(one), plot, columns);
    EXPECT_TRUE(columns[0].hasData);
    EXPECT_EQ(columns[0].minY, 50);
    EXPECT_EQ(tracePolylines(columns, 10), (std::vector<std::vector<Point>> { { { 10, 50 }, { 10, 51 } } }));

    // Only overloads: no trace.
    const std::vector<ChartSample> overloads = { { 0, 0, 0, false }, { 1, 0, 0, false } };
    reduceToColumns(overloads, valueRange(overloads), plot, columns);
    EXPECT_TRUE(tracePolylines(columns, 10).empty());

    // A gap of empty columns within one segment is bridged.
    const std::vector<ChartSample> gap = { { 0, 1, 0, true }, { 9, 1, 0, true } };
    reduceToColumns(gap, { 0, 2 }, plot, columns);
    EXPECT_EQ(tracePolylines(columns, 10), (std::vector<std::vector<Point>> { { { 10, 50 }, { 19, 50 } } }));
}

// Where nothing was measured nothing is drawn: the meter lost for a while,
// a recording stopped and started, an overload.
TEST(ChartSeries, GapsInTimeAndRequestedBreaksStartNewTraces)
{
    EXPECT_FALSE(ChartSeries::isGap(1.25, 0.75)); // a late tick after an early one
    EXPECT_TRUE(ChartSeries::isGap(2.0, 1.0)); // one sample missed
    EXPECT_FALSE(ChartSeries::isGap(15.0, 10.0));
    EXPECT_TRUE(ChartSeries::isGap(20.0, 10.0));

    ChartSeries series;
    for (const double t : { 0.0, 1.0, 2.1, 2.9, 11.0, 12.0 })
        series.append(reading(t, "1.000"));
    series.breakTrace();
    series.append(reading(13.0, "1.000"));
    series.append(reading(14.0, "1.000"));
    std::vector<std::int32_t> segments;
    for (const ChartSample& s : series.samples())
        segments.push_back(s.segment);
    EXPECT_EQ(segments, (std::vector<std::int32_t> { 0, 0, 0, 0, 1, 1, 2, 2 }));
    EXPECT_FALSE(series.hidesOtherUnits());

    // Blank or unreadable text is invalid but no overload.
    series.append(reading(15.0, ""));
    EXPECT_FALSE(series.samples().back().valid);
    EXPECT_FALSE(series.samples().back().overload);
    series.clear();
    EXPECT_EQ(series.currentUnitIndex(), allUnits);
    series.append(reading(100.0, "1.000"));
    series.append(reading(101.0, "1.000")); // the smallest step starts again after a clear
    EXPECT_EQ(series.samples().back().segment, 0);
}

// One value axis for one unit: the samples of other units keep their place
// in time but are neither ranged nor drawn.
TEST(ChartModel, OnlyTheCurrentUnitIsRangedAndDrawn)
{
    ChartSeries series;
    for (int i = 0; i < 10; ++i)
        series.append(reading(i, "5.000")); // V
    for (int i = 10; i < 20; ++i)
        series.append(reading(i, "240.0", ohm, 1)); // kΩ
    series.append(reading(20, "OL", ohm, 1));
    const int unit = series.currentUnitIndex();
    EXPECT_EQ(series.currentUnit(), "k\u03A9");
    const ValueRange range = valueRange(series.samples(), unit);
    EXPECT_GT(range.lo, 200);
    EXPECT_LT(valueRange(series.samples()).lo, 5); // all units together
    const Rect plot { 0, 0, 21, 100 };
    std::vector<ChartColumn> columns;
    reduceToColumns(series.samples(), range, plot, columns, unit);
    for (int x = 0; x < 10; ++x)
        EXPECT_FALSE(columns[static_cast<std::size_t>(x)].hasData) << x;
    EXPECT_TRUE(columns[15].hasData);
    EXPECT_TRUE(columns[20].overload);
    EXPECT_FALSE(columns[20].hasData);
    EXPECT_FALSE(columns[15].overload);
}

TEST(ChartModel, ValueLabelsAreDistinctAndFitBesideThePlot)
{
    // The usual format where it tells the labels apart.
    EXPECT_EQ(valueLabels(gridValues({ 0, 4 })), (std::vector<std::string> { "0", "1.000", "2.000", "3.000", "4.000" }));
    // A narrow range: more decimals until neighbours differ.
    const auto narrow = valueLabels(gridValues({ 12.342, 12.348 }));
    EXPECT_EQ(narrow, (std::vector<std::string> { "12.342", "12.344", "12.345", "12.347", "12.348" }));
    const auto tiny = valueLabels(gridValues({ 1.0000, 1.0004 }));
    EXPECT_EQ(std::adjacent_find(tiny.begin(), tiny.end()), tiny.end());
    EXPECT_EQ(valueLabel(12.3456, 2), "12.3456");
    EXPECT_EQ(valueLabel(-5e-5, 1), "-5.00e-05");

    // The plot moves right for wide labels, never left of its usual place.
    EXPECT_EQ(plotRect({ 0, 0, 600, 300 }, 96, 30).left, 44);
    EXPECT_EQ(plotRect({ 0, 0, 600, 300 }, 96, 47).left, 47 + 6);
    EXPECT_EQ(plotRect({ 0, 0, 600, 300 }, 144, 47).left, 66);
}

TEST(ChartModel, TimeLabelsChangeCountAtTheWidthEdges)
{
    const std::vector<ChartSample> samples = { { 3600, 1, 0, true }, { 3720, 2, 0, true } };
    EXPECT_EQ(timeLabels(samples, { 0, 0, 1023, 100 }, clockText).size(), 3u);
    EXPECT_EQ(timeLabels(samples, { 0, 0, 1024, 100 }, clockText).size(), 4u);
    EXPECT_EQ(timeLabels(samples, { 0, 0, 1919, 100 }, clockText).size(), 4u);
}

// A screen reader is told what the chart draws: the current unit's valid
// samples (overloads and other units left out), their span and extremes.
TEST(ChartModel, TheDescriptionSaysWhatIsDrawn)
{
    ChartSeries series;
    EXPECT_EQ(chartDescription(series, AppLanguage::enUS, clockText), "No samples recorded yet.");
    series.append(reading(3600, "5.000")); // V, hidden once the unit changes
    series.append(reading(3601, "240.0", ohm, 1));
    series.append(reading(3602, "OL", ohm, 1));
    series.append(reading(3603, "120.5", ohm, 1));
    EXPECT_EQ(chartDescription(series, AppLanguage::enUS, clockText),
        "(other units hidden) 2 samples from 01:00:01 to 01:00:03, minimum 120.5 k\u03A9, maximum 240.0 k\u03A9.");
    EXPECT_EQ(chartDescription(series, AppLanguage::zhTW, clockText),
        "（其他單位未顯示） 2 筆取樣，01:00:01 至 01:00:03，最小 120.5 k\u03A9，最大 240.0 k\u03A9。");
    ChartSeries one;
    one.append(reading(0, "1.234"));
    EXPECT_EQ(chartDescription(one, AppLanguage::enUS, clockText),
        "1 sample from 00:00:00 to 00:00:00, minimum 1.234 V, maximum 1.234 V.");
}
