// Decoding costs on the polling path: one display report per 500 ms is
// nothing, but journal replay and file loading build readings by the
// hundred thousand.

#include "core/reading.h"
#include "meter/meter_responses.h"
#include "meter/protocol.h"

#include <benchmark/benchmark.h>

namespace zelmar {
namespace {

void BM_DecodeDisplay(benchmark::State& state)
{
    const Bytes report = MeterResponses::displayReport({ 2, 1, " 12.345", 42, {} });
    for (auto _ : state)
        benchmark::DoNotOptimize(DMMProtocol::decodeDisplay(report));
}
BENCHMARK(BM_DecodeDisplay);

void BM_BuildReading(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Reading(1.0, 6, 2, " 12.345", {}, 0));
}
BENCHMARK(BM_BuildReading);

} // namespace
} // namespace zelmar
