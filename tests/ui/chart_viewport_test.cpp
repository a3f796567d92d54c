#include "ui/chart_viewport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

using namespace zelmar;
using namespace zelmar::ui;

namespace {

constexpr std::uint8_t dcv = 2;
constexpr std::uint8_t acv = 0;

// Samples 1 s apart from t = 1000: values 0, 1, 2, ...
std::vector<ChartSample> everySecond(int n, double from = 1000)
{
    ChartSeries series;
    for (int i = 0; i < n; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%d.000", i % 9);
        series.append(Reading(from + i, dcv, 0, text, {}, 0));
    }
    return { series.samples().begin(), series.samples().end() };
}

} // namespace

TEST(ChartViewport, ZoomsAboutTheAnchorAndStopsAtTheEdges)
{
    const auto samples = everySecond(101); // 1000 .. 1100
    ChartViewport view;
    EXPECT_EQ(view.window(samples), (TimeWindow { 1000, 1100 }));
    view.zoom(samples, 0.5, 1050); // about the middle: the middle half
    EXPECT_EQ(view.mode(), ChartViewport::Mode::held);
    EXPECT_EQ(view.window(samples), (TimeWindow { 1025, 1075 }));
    view.zoom(samples, 0.5, 1025); // about the left edge: it stays put
    EXPECT_EQ(view.window(samples), (TimeWindow { 1025, 1050 }));
    // Closer than two samples it does not go.
    for (int i = 0; i < 20; ++i)
        view.zoom(samples, 0.5, 1030.5);
    EXPECT_DOUBLE_EQ(view.window(samples).span(), 1.0);
    // Panning stops at either end, keeping the span.
    view.pan(samples, -5000);
    EXPECT_EQ(view.window(samples), (TimeWindow { 1000, 1001 }));
    view.pan(samples, 5000);
    EXPECT_EQ(view.window(samples), (TimeWindow { 1099, 1100 }));
    // Steps that add rounding still reach the first sample exactly.
    view.zoom(samples, 7.3, 1099.5);
    for (int i = 0; i < 1000; ++i)
        view.pan(samples, -0.1 * view.window(samples).span());
    EXPECT_EQ(view.window(samples).start, 1000);
    EXPECT_EQ(samplesInside(samples, view.window(samples)).first, 0u);
    // Out past the whole recording: the whole, which follows again.
    view.zoom(samples, 1000, 1050);
    EXPECT_EQ(view.mode(), ChartViewport::Mode::whole);
    view.pan(samples, 10); // the whole recording does not move
    EXPECT_EQ(view.window(samples), (TimeWindow { 1000, 1100 }));
}

TEST(ChartViewport, HeldStaysStillFollowingMovesWholeGrows)
{
    auto samples = everySecond(101);
    ChartViewport view;
    view.zoom(samples, 0.2, 1000);
    const TimeWindow held = view.window(samples);
    EXPECT_EQ(held, (TimeWindow { 1000, 1020 }));
    samples = everySecond(201); // recording goes on
    EXPECT_EQ(view.window(samples), held); // held still
    view.follow(samples);
    EXPECT_EQ(view.window(samples), (TimeWindow { 1180, 1200 })); // same span at the newest
    samples = everySecond(251);
    EXPECT_EQ(view.window(samples), (TimeWindow { 1230, 1250 }));
    view.pan(samples, -10); // moving it holds it again
    EXPECT_EQ(view.mode(), ChartViewport::Mode::held);
    view.showWhole();
    EXPECT_EQ(view.window(samples), (TimeWindow { 1000, 1250 }));
    view.follow(samples); // already moving with the recording
    EXPECT_EQ(view.mode(), ChartViewport::Mode::whole);
}

TEST(ChartViewport, NothingToZoomInNoneOneOrEqualTimes)
{
    ChartViewport view;
    view.zoom({}, 0.5, 0);
    EXPECT_FALSE(view.isZoomed());
    const auto one = everySecond(1);
    view.zoom(one, 0.5, 1000);
    EXPECT_FALSE(view.isZoomed());
    EXPECT_EQ(view.window(one), (TimeWindow { 1000, 1000 }));
    ChartSeries same;
    for (int i = 0; i < 5; ++i)
        same.append(Reading(1000, dcv, 0, "1.000", {}, 0));
    view.zoom(same.samples(), 0.5, 1000);
    EXPECT_FALSE(view.isZoomed());
    const auto two = everySecond(2);
    view.zoom(two, 0.5, 1000.5); // two samples one second apart: already the closest
    EXPECT_FALSE(view.isZoomed());
    view.zoom(everySecond(3), 0.0, 1001); // no factor: nothing
    view.zoom(everySecond(3), std::nan(""), 1001);
    EXPECT_FALSE(view.isZoomed());
}

TEST(ChartViewport, NearestSampleOfTheUnitInsideTheWindow)
{
    ChartSeries series;
    series.append(Reading(1000, dcv, 0, "1.000", {}, 0)); // V
    series.append(Reading(1001, 6, 1, "2.000", {}, 0)); // kΩ
    series.append(Reading(1002, dcv, 0, "OL", {}, 0)); // V overload
    series.append(Reading(1004, dcv, 0, "3.000", {}, 0));
    const auto s = series.samples();
    const TimeWindow all { 1000, 1004 };
    const int volts = s[0].unit;
    EXPECT_EQ(nearestSample(s, 1000.9, volts, all), 0u); // the kΩ sample between is skipped
    EXPECT_EQ(nearestSample(s, 1001.2, volts, all), 2u); // an overload counts
    EXPECT_EQ(nearestSample(s, 1003.1, volts, all), 3u); // 1004 is nearer than 1002
    EXPECT_EQ(nearestSample(s, 5000, volts, all), 3u);
    EXPECT_EQ(nearestSample(s, 0, volts, all), 0u);
    EXPECT_EQ(nearestSample(s, 1001, s[1].unit, all), 1u);
    EXPECT_EQ(nearestSample(s, 1003, volts, { 1002.5, 1003.5 }), std::nullopt); // none inside
    EXPECT_EQ(nearestSample(s, 1003, volts, { 1003, 1010 }), 3u);
    EXPECT_EQ(nearestSample({}, 1003, volts, all), std::nullopt);
}

// The cursor's label stays inside the plot at both edges.
TEST(ChartViewport, CursorLabelStaysInsideThePlot)
{
    const Rect plot { 50, 20, 450, 220 };
    for (const int dpi : { 96, 144 }) {
        for (const int x : { 50, 51, 250, 448, 449 }) {
            const Rect label = cursorLabelRect(plot, x, 120, 18, dpi);
            EXPECT_GE(label.left, plot.left) << x;
            EXPECT_LE(label.right, plot.right) << x;
            EXPECT_GE(label.top, plot.top);
            EXPECT_LE(label.bottom, plot.bottom);
            EXPECT_FALSE(label.left <= x && x < label.right) << "the label covers its own line at " << x;
        }
    }
    const Rect tiny { 0, 0, 60, 10 };
    const Rect clipped = cursorLabelRect(tiny, 30, 120, 18, 96);
    EXPECT_EQ(clipped.width(), 60);
    EXPECT_EQ(clipped.height(), 10);
    EXPECT_DOUBLE_EQ(timeOfX({ 1000, 1100 }, plot, xOfTime({ 1000, 1100 }, plot, 1037)), 1037);
}

// A zoomed reduction sees only the samples inside the window, laid over
// the whole plot, and equals the reduction of just those samples.
TEST(ChartViewport, ZoomedColumnsAreTheColumnsOfTheSamplesInside)
{
    const auto samples = everySecond(1001);
    const Rect plot { 0, 0, 200, 100 };
    const TimeWindow window { 1300, 1500 };
    std::vector<ChartColumn> zoomed;
    reduceToColumns(samples, { 0, 9 }, plot, zoomed, allUnits, window);
    const auto [first, last] = samplesInside(samples, window);
    EXPECT_EQ(first, 300u);
    EXPECT_EQ(last, 501u);
    std::vector<ChartColumn> alone;
    reduceToColumns(std::span(samples).subspan(first, last - first), { 0, 9 }, plot, alone);
    ASSERT_EQ(zoomed.size(), alone.size());
    for (std::size_t i = 0; i < zoomed.size(); ++i) {
        EXPECT_EQ(zoomed[i].hasData, alone[i].hasData) << i;
        EXPECT_EQ(zoomed[i].minY, alone[i].minY) << i;
        EXPECT_EQ(zoomed[i].maxY, alone[i].maxY) << i;
    }
    EXPECT_TRUE(zoomed.front().hasData);
    EXPECT_TRUE(zoomed.back().hasData);
}

// The strip's figures: the series keeps the whole recording's up to date
// on each append and counts them again when the function changes; a window
// counts its own.
TEST(ChartStatistics, WholeRecordingAndWindow)
{
    ChartSeries series;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-5, 5);
    for (int i = 0; i < 500; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", value(random));
        series.append(Reading(1000 + i, i < 100 ? acv : dcv, 0, i % 50 == 7 ? "OL" : text, {}, 0));
        const RunningStatistics whole = series.statistics();
        const RunningStatistics counted
            = statisticsOf(series.samples(), series.samples().back().function, series.samples().back().unit,
                wholeWindow(series.samples()));
        ASSERT_EQ(whole.count(), counted.count()) << i;
        ASSERT_EQ(whole.overloads(), counted.overloads()) << i;
        ASSERT_DOUBLE_EQ(whole.mean(), counted.mean()) << i;
        ASSERT_EQ(whole.maximum(), counted.maximum()) << i;
    }
    EXPECT_EQ(series.statistics().count(), 400); // DC volts only, not the AC volts before them
    EXPECT_EQ(series.statistics().overloads(), 8);
    const RunningStatistics window = statisticsOf(series.samples(), dcv, series.samples().back().unit, { 1100, 1199 });
    EXPECT_EQ(window.count(), 100);
    EXPECT_EQ(window.overloads(), 2);
}
