// The benchmark program's entry: Google Benchmark's console output, then
// each measured cost as a ratio to its floor or reference measured in the
// same run, beside the goal it has to meet.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Ratio {
    const char* what;
    const char* measured;
    const char* floor;
    double goal; // the ratio must stay at or below it; 0: shown, no goal
};

constexpr Ratio ratios[] = {
    { ".zmd open / read + SHA-256", "BM_ZmdOpen600k", "BM_ZmdFloorReadAndHash600k", 1.5 },
    { ".zmd save / SHA-256 + write + fsync", "BM_ZmdSave600k", "BM_ZmdFloorSave600k", 2.0 },
    { "journal replay / simdjson, 6 fields to records", "BM_JournalReplayStored600k",
        "BM_JournalReplaySimdjsonSixFields600k", 1.0 },
    { "journal replay / simdjson reading 2 fields", "BM_JournalReplayStored600k",
        "BM_JournalReplaySimdjsonBaseline600k", 0.0 },
    { "journal-form replay / simdjson, 6 fields", "BM_JournalReplay600k", "BM_JournalReplaySimdjsonSixFields600k",
        0.0 },
    { "export to CSV / .zmd open", "BM_CliExport600k", "BM_ZmdOpen600k", 1.2 },
    { "export / open + CSV write + fsync", "BM_CliExport600k", "BM_CliExportFloor600k", 0.0 },
    { "info / .zmd open", "BM_CliInfo600k", "BM_ZmdOpen600k", 1.2 },
    { "plot PNG / info", "BM_CliPlotPng600k", "BM_CliInfo600k", 1.5 },
    { "plot SVG / info", "BM_CliPlotSvg600k", "BM_CliInfo600k", 1.5 },
};

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            if (run.error_occurred)
                failed_.insert(run.run_name.function_name);
            else
                seconds_[run.run_name.function_name] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        bool header = false;
        for (const Ratio& r : ratios) {
            const bool failed = failed_.contains(r.measured) || failed_.contains(r.floor);
            const auto measured = seconds_.find(r.measured);
            const auto floor = seconds_.find(r.floor);
            if (!failed && (measured == seconds_.end() || floor == seconds_.end() || floor->second <= 0))
                continue; // not selected in this run
            if (!header) {
                std::printf("\n%-44s %10s %10s %7s %6s\n", "ratio (same run)", "measured", "floor", "ratio", "goal");
                header = true;
            }
            if (failed) {
                std::printf("%-44s ERROR: a benchmark of this ratio failed\n", r.what);
                continue;
            }
            const double ratio = measured->second / floor->second;
            if (r.goal <= 0) {
                std::printf("%-44s %8.1f ms %8.1f ms %7.2f   (no goal)\n", r.what, measured->second * 1e3,
                    floor->second * 1e3, ratio);
                continue;
            }
            std::printf("%-44s %8.1f ms %8.1f ms %7.2f %s%4.1f %s\n", r.what, measured->second * 1e3,
                floor->second * 1e3, ratio, "<=", r.goal, ratio <= r.goal ? "met" : "NOT MET");
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, double> seconds_;
    std::set<std::string> failed_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
