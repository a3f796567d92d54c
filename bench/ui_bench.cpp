// The trend chart's cost at the record limit: 600,000 samples reduced to one
// column per pixel of a 1,000-pixel plot, and the trace built from them.

#include "ui/chart_model.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace zelmar::ui {
namespace {

std::vector<ChartSample> samples(int count)
{
    std::vector<ChartSample> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) // two functions, an overload now and then
        out.push_back({ 1.7e9 + i, 5.0 + std::sin(i / 50.0), i < count / 2 ? 0 : 1, i % 97 != 0, false, 0, 0 });
    return out;
}

void BM_ChartColumnReduction600k(benchmark::State& state)
{
    const std::vector<ChartSample> s = samples(600'000);
    const Rect plot { 44, 18, 1044, 418 };
    std::vector<ChartColumn> columns;
    for (auto _ : state) {
        const ValueRange range = valueRange(s);
        reduceToColumns(s, range, plot, columns);
        benchmark::DoNotOptimize(columns.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.size()));
}
BENCHMARK(BM_ChartColumnReduction600k)->Unit(benchmark::kMillisecond);

void BM_ChartTracePolylines1000Columns(benchmark::State& state)
{
    const std::vector<ChartSample> s = samples(600'000);
    const Rect plot { 44, 18, 1044, 418 };
    std::vector<ChartColumn> columns;
    reduceToColumns(s, valueRange(s), plot, columns);
    for (auto _ : state)
        benchmark::DoNotOptimize(tracePolylines(columns, plot.left));
}
BENCHMARK(BM_ChartTracePolylines1000Columns)->Unit(benchmark::kMicrosecond);

// A zoomed view of a tenth of the recording passes over that tenth only.
void BM_ChartColumnReductionZoomed600k(benchmark::State& state)
{
    const std::vector<ChartSample> s = samples(600'000);
    const Rect plot { 44, 18, 1044, 418 };
    std::vector<ChartColumn> columns;
    const TimeWindow window { 1.7e9 + 250'000, 1.7e9 + 310'000 };
    for (auto _ : state) {
        reduceToColumns(s, valueRange(s), plot, columns, allUnits, window);
        benchmark::DoNotOptimize(columns.data());
    }
}
BENCHMARK(BM_ChartColumnReductionZoomed600k)->Unit(benchmark::kMillisecond);

// The statistics line: one append keeps the figures in constant time; after
// an open, a restore or a deletion they are counted again in one pass.
void BM_StatisticsAppend(benchmark::State& state)
{
    ChartSeries series;
    std::int64_t i = 0;
    for (auto _ : state) {
        series.append(1.7e9 + static_cast<double>(i), 2, "V", 5.0 + static_cast<double>(i % 100) / 100, "5.000");
        benchmark::DoNotOptimize(series.statistics().mean());
        if (++i == 600'000) {
            state.PauseTiming();
            series.clear();
            i = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_StatisticsAppend);

void BM_StatisticsRebuild600k(benchmark::State& state)
{
    const std::vector<ChartSample> s = samples(600'000);
    for (auto _ : state)
        benchmark::DoNotOptimize(statisticsOf(s, 0, 0, wholeWindow(s)).mean());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.size()));
}
BENCHMARK(BM_StatisticsRebuild600k)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zelmar::ui
