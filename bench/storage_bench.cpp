// Storage costs at the record limit: 600,000 records rewritten, replayed
// and exported, one append with its flush, and the memory of the records.

#include "core/compact_readings.h"
#include "session/dmm_session.h"
#include "session/session_time_format.h"
#include "storage/csv_exporter.h"
#include "storage/file_io.h"
#include "storage/journal.h"
#include "storage/signed_envelope.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zelmar {
namespace {

constexpr int kRecords = 600'000;

std::vector<Reading> readings()
{
    std::vector<Reading> out;
    out.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%7.3f", 12.0 + (i % 1000) / 1000.0);
        out.emplace_back(1.7e9 + i, i % 7 == 0 ? 6 : 2, 1, i % 97 == 0 ? "  OL   " : text, DmmFlags {}, 0);
    }
    return out;
}

std::vector<JournalRecord> records()
{
    std::vector<JournalRecord> out;
    out.reserve(kRecords);
    for (const Reading& r : readings())
        out.push_back(JournalRecord::from(r));
    return out;
}

std::filesystem::path benchDir()
{
    auto dir = std::filesystem::temp_directory_path() / "zelmar-bench";
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_JournalRewrite600k(benchmark::State& state)
{
    const auto all = records();
    const auto path = benchDir() / "rewrite.jsonl";
    auto writer = JournalWriter::create(path);
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (!writer->rewrite(all))
            state.SkipWithError("rewrite failed");
        bytes = std::filesystem::file_size(path);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_JournalRewrite600k)->Unit(benchmark::kMillisecond)->Iterations(5);

// Each timed run replays the same 600,000-record journal with `replay`.
template <typename Replay> void journalReplay(benchmark::State& state, Replay&& replay)
{
    const auto path = benchDir() / "replay.jsonl";
    {
        auto writer = JournalWriter::create(path);
        (void)writer->rewrite(records());
    }
    const auto bytes = std::filesystem::file_size(path);
    for (auto _ : state) {
        auto result = replay(path);
        if (result.records.size() != kRecords)
            state.SkipWithError("replay lost records");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

// The journal read into records of its own form (tests and tools).
void BM_JournalReplay600k(benchmark::State& state)
{
    journalReplay(state, [](const std::filesystem::path& path) { return JournalReplayer::replay(path); });
}
BENCHMARK(BM_JournalReplay600k)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same journal read as a recovery reads it: straight into the data
// set's stored form.
void BM_JournalReplayStored600k(benchmark::State& state)
{
    journalReplay(state, [](const std::filesystem::path& path) { return JournalReplayer::replayStored(path); });
}
BENCHMARK(BM_JournalReplayStored600k)->Unit(benchmark::kMillisecond)->Iterations(5);

// The reference for the replay: a general SIMD JSON parser (on-demand API)
// reading the same journal. Each timed run loads the file and hands every
// line to `each`, which answers whether it took the line.
template <typename Each> void simdjsonReplay(benchmark::State& state, Each&& each)
{
    const auto path = benchDir() / "replay.jsonl";
    {
        auto writer = JournalWriter::create(path);
        (void)writer->rewrite(records());
    }
    for (auto _ : state) {
        simdjson::padded_string json;
        if (simdjson::padded_string::load(path.string()).get(json) != simdjson::SUCCESS) {
            state.SkipWithError("load failed");
            break;
        }
        simdjson::ondemand::parser parser;
        simdjson::ondemand::document_stream lines;
        if (parser.iterate_many(json).get(lines) != simdjson::SUCCESS) {
            state.SkipWithError("parse failed");
            break;
        }
        std::size_t count = 0;
        for (auto line : lines)
            count += each(line) ? 1 : 0;
        if (count != kRecords)
            state.SkipWithError("baseline lost records");
    }
}

// Just two fields of each line.
void BM_JournalReplaySimdjsonBaseline600k(benchmark::State& state)
{
    std::int64_t functions = 0;
    simdjsonReplay(state, [&](auto& line) {
        std::string_view t;
        std::int64_t f = 0;
        if (line["t"].get_string().get(t) != simdjson::SUCCESS || line["f"].get_int64().get(f) != simdjson::SUCCESS)
            return false;
        functions += f + static_cast<std::int64_t>(t.size());
        return true;
    });
    benchmark::DoNotOptimize(functions);
}
BENCHMARK(BM_JournalReplaySimdjsonBaseline600k)->Unit(benchmark::kMillisecond)->Iterations(5);

// The replay's whole work: all six fields of every line, the time read to
// seconds, each line kept as the data set keeps its records, so the ratio
// compares equal work.
void BM_JournalReplaySimdjsonSixFields600k(benchmark::State& state)
{
    CompactReadings kept;
    double values = 0;
    std::size_t units = 0;
    simdjsonReplay(state, [&](auto& line) {
        std::string_view t, x, u;
        std::int64_t f = 0, r = 0;
        double v = 0;
        if (line["t"].get_string().get(t) != simdjson::SUCCESS || line["f"].get_int64().get(f) != simdjson::SUCCESS
            || line["r"].get_int64().get(r) != simdjson::SUCCESS || line["x"].get_string().get(x) != simdjson::SUCCESS)
            return false;
        if (line["v"].get_double().get(v) == simdjson::SUCCESS)
            values += v;
        if (line["u"].get_string().get(u) != simdjson::SUCCESS)
            return false;
        units += u.size();
        const auto seconds = parseTimestamp(t);
        if (!seconds)
            return false;
        if (kept.size() == kRecords)
            kept = CompactReadings(); // a new timed run builds its records afresh, as the replay does
        kept.push_back(Reading(*seconds, static_cast<std::uint8_t>(f), static_cast<int>(r), x, DmmFlags {}, 0));
        return true;
    });
    benchmark::DoNotOptimize(values + static_cast<double>(units) + static_cast<double>(kept.size()));
}
BENCHMARK(BM_JournalReplaySimdjsonSixFields600k)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_JournalAppendWithFlush(benchmark::State& state)
{
    const auto path = benchDir() / "append.jsonl";
    std::filesystem::remove(path);
    auto writer = JournalWriter::create(path);
    const JournalRecord record = JournalRecord::from(Reading(1.7e9, 2, 1, "12.345", {}, 0));
    for (auto _ : state) {
        if (!writer->append(record))
            state.SkipWithError("append failed");
    }
}
BENCHMARK(BM_JournalAppendWithFlush)->Unit(benchmark::kMicrosecond);

void BM_CsvExport600k(benchmark::State& state)
{
    const auto all = readings();
    const auto path = benchDir() / "export.csv";
    for (auto _ : state) {
        std::vector<CsvExporter::Row> rows;
        rows.reserve(all.size());
        for (const Reading& r : all)
            rows.push_back({ SessionTimeFormat::date(r.timestamp()), SessionTimeFormat::time(r.timestamp()), "DC V",
                r.value() ? r.text() : "OL", r.unit() });
        if (!CsvExporter::exportFile({ "Date", "Time", "Function", "Value", "Unit" }, rows, path))
            state.SkipWithError("export failed");
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_CsvExport600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Bytes held per stored reading: what the data set's store keeps for
// 600,000 readings (entries and anything kept aside), and beside it what the
// same readings take as Reading objects.
void BM_RecordStoreMemoryPerReading(benchmark::State& state)
{
    for (auto _ : state) {
        const auto all = readings();
        const CompactReadings stored(all);
        state.counters["bytes_per_reading"] = static_cast<double>(stored.bytes()) / static_cast<double>(all.size());
        std::size_t heap = 0;
        for (const Reading& r : all) {
            if (r.text().capacity() > 15)
                heap += r.text().capacity() + 1;
            if (r.unit().capacity() > 15)
                heap += r.unit().capacity() + 1;
        }
        state.counters["as_Reading"]
            = static_cast<double>(sizeof(Reading) * all.capacity() + heap) / static_cast<double>(all.size());
    }
}
BENCHMARK(BM_RecordStoreMemoryPerReading)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace zelmar

// The floor for .zmd save and open: reading the file and hashing it once.
namespace zelmar {
namespace {

ZmdDocument fullDocument()
{
    ZmdDocument doc { "DMM-5174K", "ZELMAR DMM-5174K bench", 1.7e9, 0, records() };
    return doc;
}

// A save as the program and the logger do it: from the data set's store.
void BM_ZmdSave600k(benchmark::State& state)
{
    const auto all = readings();
    const ZmdReadings doc { "DMM-5174K", "ZELMAR DMM-5174K bench", 1.7e9, 0, CompactReadings(all) };
    const auto path = benchDir() / "bench.zmd";
    for (auto _ : state) {
        if (!ZmdFile::saveReadings(doc, path, ZmdSignatureService::shared()))
            state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_ZmdSave600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same records saved from their journal form (tests and tools).
void BM_ZmdSaveJournalForm600k(benchmark::State& state)
{
    const ZmdDocument doc = fullDocument();
    const auto path = benchDir() / "bench-journal-form.zmd";
    for (auto _ : state) {
        if (!ZmdFile::save(doc, path, ZmdSignatureService::shared()))
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_ZmdSaveJournalForm600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each timed run opens the same 600,000-record file with `open`.
template <typename Open> void zmdOpen(benchmark::State& state, Open&& open)
{
    const auto path = benchDir() / "bench-open.zmd";
    (void)ZmdFile::save(fullDocument(), path, ZmdSignatureService::shared());
    for (auto _ : state) {
        auto opened = open(path);
        if (!opened || opened->records.size() != kRecords)
            state.SkipWithError("open failed");
    }
}

// An open as the program and the logger do it: the records read straight
// into the data set's store.
void BM_ZmdOpen600k(benchmark::State& state)
{
    zmdOpen(state, [](const std::filesystem::path& path) {
        return ZmdFile::openReadings(path, "DMM-5174K", ZmdSignatureService::shared());
    });
}
BENCHMARK(BM_ZmdOpen600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same file read into records of the journal's form (tests and tools).
void BM_ZmdOpenJournalForm600k(benchmark::State& state)
{
    zmdOpen(state, [](const std::filesystem::path& path) {
        return ZmdFile::open(path, "DMM-5174K", ZmdSignatureService::shared());
    });
}
BENCHMARK(BM_ZmdOpenJournalForm600k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ZmdFloorReadAndHash600k(benchmark::State& state)
{
    const auto path = benchDir() / "bench-open.zmd";
    (void)ZmdFile::save(fullDocument(), path, ZmdSignatureService::shared());
    for (auto _ : state) {
        auto bytes = readWholeFile(path);
        benchmark::DoNotOptimize(EcdsaP256::sha256(asBytes(*bytes)));
    }
}
BENCHMARK(BM_ZmdFloorReadAndHash600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor for a save: hashing the file's bytes once and writing them to a
// new file with one fsync.
void BM_ZmdFloorSave600k(benchmark::State& state)
{
    const auto bytes = ZmdFile::encode(fullDocument(), ZmdSignatureService::shared());
    const auto path = benchDir() / "bench-floor.zmd";
    for (auto _ : state) {
        benchmark::DoNotOptimize(EcdsaP256::sha256(asBytes(*bytes)));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes->data(), bytes->size()) != static_cast<ssize_t>(bytes->size())
            || ::fsync(fd) != 0)
            state.SkipWithError("write failed");
        ::close(fd);
    }
}
BENCHMARK(BM_ZmdFloorSave600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The header peek of a 100 MiB file, without reading its records.
void BM_ZmdHeaderPeek100MiB(benchmark::State& state)
{
    std::string payload = "{\"format\":\"ZELMAR-ZMD\",\"formatVersion\":1,\"records\":[";
    const std::string line
        = "{\"t\":\"2024-05-01T13:45:12+08:00\",\"f\":2,\"r\":1,\"x\":\"12.345\",\"v\":12.345,\"u\":\"V\"},";
    while (payload.size() < 104'000'000)
        payload += line;
    payload += "1]}";
    const std::string document = "{\"payload\":" + payload + ",\"signature\":{}}";
    auto envelope = SignedJSONEnvelope::parse(document);
    if (!envelope)
        state.SkipWithError("no layout");
    for (auto _ : state)
        benchmark::DoNotOptimize(envelope->peekHeader());
}
BENCHMARK(BM_ZmdHeaderPeek100MiB)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zelmar

// The file commands of dmm5174k on a 600,000-record file, beside the open.
#include "app/cli/cli.h"

namespace zelmar {
namespace {

void runCommand(benchmark::State& state, int (*command)(const std::vector<std::string>&, cli::Context&),
    std::vector<std::string> args)
{
    const auto path = benchDir() / "bench-open.zmd";
    if (!std::filesystem::exists(path))
        (void)ZmdFile::save(fullDocument(), path, ZmdSignatureService::shared());
    std::FILE* sink = std::fopen("/dev/null", "w");
    cli::Context context;
    context.out = sink;
    context.err = sink;
    args.insert(args.begin(), path.string());
    for (auto _ : state) {
        if (command(args, context) != 0)
            state.SkipWithError("command failed");
    }
    std::fclose(sink);
}

void BM_CliInfo600k(benchmark::State& state)
{
    runCommand(state, cli::runInfo, {});
}
BENCHMARK(BM_CliInfo600k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CliVerify600k(benchmark::State& state)
{
    runCommand(state, cli::runVerify, {});
}
BENCHMARK(BM_CliVerify600k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CliExport600k(benchmark::State& state)
{
    runCommand(state, cli::runExport, { "-o", (benchDir() / "cli-export.csv").string(), "--force" });
}
BENCHMARK(BM_CliExport600k)->Unit(benchmark::kMillisecond)->Iterations(3);

// What no export can do without: the open, then writing and flushing the
// CSV's bytes (made beforehand) to a file.
void BM_CliExportFloor600k(benchmark::State& state)
{
    const auto made = benchDir() / "cli-export-floor-source.csv";
    {
        cli::Context context;
        std::FILE* sink = std::fopen("/dev/null", "w");
        context.out = sink;
        context.err = sink;
        const auto file = benchDir() / "bench-open.zmd";
        if (!std::filesystem::exists(file))
            (void)ZmdFile::save(fullDocument(), file, ZmdSignatureService::shared());
        const bool exported = cli::runExport({ file.string(), "-o", made.string(), "--force" }, context) == 0;
        std::fclose(sink);
        if (!exported) {
            state.SkipWithError("export failed");
            return;
        }
    }
    std::ifstream in(made, std::ios::binary);
    const std::string csv((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto path = benchDir() / "cli-export-floor.csv";
    for (auto _ : state) {
        auto opened = ZmdFile::openReadings(benchDir() / "bench-open.zmd", "DMM-5174K", ZmdSignatureService::shared());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (!opened || fd < 0 || ::write(fd, csv.data(), csv.size()) != static_cast<ssize_t>(csv.size())
            || ::fsync(fd) != 0)
            state.SkipWithError("open or write failed");
        if (fd >= 0)
            ::close(fd);
    }
}
BENCHMARK(BM_CliExportFloor600k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CliPlotPng600k(benchmark::State& state)
{
    runCommand(state, cli::runPlot, { "-o", (benchDir() / "cli-plot.png").string(), "--force" });
}
BENCHMARK(BM_CliPlotPng600k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CliPlotSvg600k(benchmark::State& state)
{
    runCommand(state, cli::runPlot, { "-o", (benchDir() / "cli-plot.svg").string(), "--force" });
}
BENCHMARK(BM_CliPlotSvg600k)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace zelmar
