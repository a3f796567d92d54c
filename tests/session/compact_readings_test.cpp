// The data set's stored form: every reading comes back equal, whatever its
// function, range, text, flags and bar graph, and a data set goes through
// the store, a signed file and back to the same CSV.

#include "security/signature_service.h"
#include "core/compact_readings.h"
#include "session/dmm_session.h"
#include "session/session_time_format.h"
#include "storage/journal.h"
#include "storage/signed_envelope.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"
#include "support/scripted_port.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zelmar {
namespace {

// Readings of every kind: the meter's own (short texts, small ranges) and
// what a file may hold besides (long texts, ranges and bar graphs beyond a
// byte, blank texts, spaces around).
std::vector<Reading> randomReadings(int count, unsigned seed)
{
    std::mt19937 random(seed);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const std::vector<std::string> alphabet { " ", "0", "1", "2", "5", "9", ".", "-", "+", "O", "L", "o", "l", "A",
        "b", "\t", "µ", "Ω", "\"", "\\" };
    std::vector<Reading> out;
    for (int i = 0; i < count; ++i) {
        const bool meterLike = pick(0, 3) != 0;
        std::string text;
        const int length = meterLike ? pick(0, 8) : pick(0, 40);
        for (int k = 0; k < length; ++k)
            text += alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
        if (text.size() > 40)
            text.resize(40); // never inside a character: the last one may be cut only whole
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0xC0)
            text.pop_back();
        if (meterLike && pick(0, 1) == 0)
            text = (pick(0, 1) ? " " : "") + std::to_string(pick(-9999, 9999)) + "." + std::to_string(pick(0, 999));
        DmmFlags flags;
        for (bool* f : { &flags.rel, &flags.hold, &flags.min, &flags.max, &flags.apo, &flags.manualRange,
                 &flags.lowBattery, &flags.hvWarning, &flags.acFlag, &flags.peakMax, &flags.peakMin, &flags.barNegative })
            *f = pick(0, 1) == 1;
        const int range = meterLike ? pick(0, 7) : pick(-100'000, 100'000);
        const int bar = meterLike ? pick(0, 30) : pick(-1000, 1000);
        const double t = 1.7e9 + i * 0.5 + (pick(0, 1) ? 0.123456 : 0);
        out.emplace_back(t, static_cast<std::uint8_t>(pick(0, 255)), range, text, flags, bar);
    }
    return out;
}

TEST(CompactReadings, EveryReadingComesBackEqual)
{
    const auto readings = randomReadings(20'000, 5174);
    const CompactReadings stored(readings);
    ASSERT_EQ(stored.size(), readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i)
        ASSERT_EQ(stored[i], readings[i]) << i << ": \"" << readings[i].text() << "\"";
    EXPECT_GT(stored.asideCount(), 0u); // the rare path was taken
    EXPECT_LT(stored.asideCount(), readings.size() / 2);
    // The meter's own readings all fit inline.
    CompactReadings meter;
    for (int i = 0; i < 1000; ++i)
        meter.push_back(Reading(1.7e9 + i, 2, 3, " -12.345 ", DmmFlags {}, 30));
    EXPECT_EQ(meter.asideCount(), 0u);
    EXPECT_LE(meter.bytes() / meter.size(), 40u);
}

TEST(CompactReadings, RemovingKeepsTheOrderAndWhatIsAside)
{
    const auto readings = randomReadings(500, 77);
    CompactReadings stored(readings);
    std::vector<bool> marked(readings.size());
    std::vector<Reading> kept;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        marked[i] = i % 3 == 1;
        if (!marked[i])
            kept.push_back(readings[i]);
    }
    stored.removeMarked(marked);
    ASSERT_EQ(stored.size(), kept.size());
    EXPECT_EQ(std::vector<Reading>(stored.begin(), stored.end()), kept);
    stored.clear();
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(stored.asideCount(), 0u);
}

// Store, save, open, export: the same CSV as the readings' own.
TEST(CompactReadings, ADataSetGoesThroughAFileUnchanged)
{
    testing::TempDir dir;
    auto readings = randomReadings(40'000, 9); // several pieces of a streamed save and export
    for (Reading& r : readings) // a file keeps whole seconds
        r = Reading(std::floor(r.timestamp()), r.function().code(), r.rangeIndex(), r.text(), r.flags(), r.barGraph());
    const CsvExporter::Row header { "d", "t", "f", "v", "u" };
    const auto name = [](DmmFunction f) { return "F" + std::to_string(f.code()); };
    const std::string expected = csvDocument(header, std::span<const Reading>(readings), "OL", name);

    DMMSession session(std::make_unique<testing::ScriptedPort>(std::make_shared<testing::PortScript>()), dir.path() / "a");
    session.loadRecords(readings, 4);
    EXPECT_EQ(session.records(), readings);
    // Its journal was written in pieces from the store, as the encoder
    // writes the same records.
    EXPECT_TRUE(testing::readFile(DMMSession::journalPath(dir.path() / "a"))
        == JournalWriter::encode(session.journalRecords(), LocalTimeZone::currentOffsetSeconds()).value());
    EXPECT_EQ(csvDocument(header, std::span<const Reading>(session.records()), "OL", name), expected);
    const auto file = dir / "set.zmd";
    ASSERT_TRUE(ZmdFile::save({ "DMM-5174K", "test", 1.7e9, 4, session.journalRecords() }, file,
        ZmdSignatureService::shared()));
    const auto opened = ZmdFile::open(file, "DMM-5174K", ZmdSignatureService::shared());
    ASSERT_TRUE(opened) << opened.error().description();
    EXPECT_EQ(csvDocument(header, std::span<const JournalRecord>(opened->records), "OL", name), expected);
    DMMSession again(std::make_unique<testing::ScriptedPort>(std::make_shared<testing::PortScript>()), dir.path() / "b");
    again.loadRecords(std::span<const JournalRecord>(opened->records), opened->deletedCount);
    ASSERT_TRUE(again.exportCSV(dir / "again.csv", header, "OL", name));
    EXPECT_EQ(testing::readFile(dir / "again.csv"), expected);

    // The same through the stored form all the way: saved from the store,
    // opened into one, exported from it.
    const auto compactFile = dir / "compact.zmd";
    ASSERT_TRUE(ZmdFile::saveReadings({ "DMM-5174K", "test", 1.7e9, 4, session.storedRecords() }, compactFile,
        ZmdSignatureService::shared()));
    EXPECT_EQ(SignedJSONEnvelope::parse(testing::readFile(compactFile))->payloadBytes(),
        SignedJSONEnvelope::parse(testing::readFile(file))->payloadBytes());
    const auto reopened = ZmdFile::openReadings(compactFile, "DMM-5174K", ZmdSignatureService::shared());
    ASSERT_TRUE(reopened) << reopened.error().description();
    ASSERT_TRUE(writeCsvFile(dir / "compact.csv", header, reopened->records, "OL", name));
    EXPECT_EQ(testing::readFile(dir / "compact.csv"), expected);
    session.shutdownDiscardingJournal();
    again.shutdownDiscardingJournal();
}

// CSV rows from the store: dates are made once a day and the fields after
// the time once per function, range and text; with days changing, keys that
// differ in one part only and keys never kept, every row is still the one
// the readings themselves give.
TEST(CompactReadings, CsvRowsAreTheReadingsOwn)
{
    std::mt19937 random(21);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::vector<Reading> readings;
    double t = 1.7e9;
    for (int i = 0; i < 30'000; ++i) {
        t += pick(0, 50) ? 1 : pick(1, 200'000);
        std::string text = std::to_string(pick(-5000, 5000) / 1000.0).substr(0, pick(1, 8));
        if (pick(0, 40) == 0)
            text = pick(0, 1) ? " OL " : "a, \"quoted\" text longer than eighteen bytes";
        readings.emplace_back(t, static_cast<std::uint8_t>(pick(0, 40)), pick(0, 20) ? pick(0, 7) : pick(-300, 300),
            text, DmmFlags {}, 0);
    }
    for (int range = -128; range <= 127; ++range)
        for (const char* text : { "1.000", "OL", "" })
            readings.emplace_back(t + range, 2, range, text, DmmFlags {}, 0);
    const CsvExporter::Row header { "d", "t", "f", "v", "u" };
    const auto name = [](DmmFunction f) { return "F," + std::to_string(f.code()); };
    const std::string expected = csvDocument(header, std::span<const Reading>(readings), "OL", name);
    const std::string fromStore = csvDocument(header, CompactReadings(readings), "OL", name);
    const auto [at, _] = std::mismatch(fromStore.begin(), fromStore.end(), expected.begin(), expected.end());
    const std::size_t i = static_cast<std::size_t>(at - fromStore.begin());
    EXPECT_EQ(fromStore.size(), expected.size());
    EXPECT_TRUE(at == fromStore.end()) << "from the store: " << fromStore.substr(fromStore.rfind('\n', i) + 1, 100)
                                       << "\nreadings: " << expected.substr(expected.rfind('\n', i) + 1, 100);
    // Written straight into a file, in pieces made on both cores.
    testing::TempDir dir;
    ASSERT_TRUE(writeCsvFile(dir / "rows.csv", header, CompactReadings(readings), "OL", name));
    EXPECT_TRUE(testing::readFile(dir / "rows.csv") == expected);

    // Times no 64-bit count of seconds holds (a damaged journal) are shown
    // at the edge of that range.
    EXPECT_EQ(SessionTimeFormat::date(3.2e19, 0), SessionTimeFormat::date(9e18, 0));
    EXPECT_EQ(SessionTimeFormat::time(-3.2e19, 3600), SessionTimeFormat::time(-9e18, 3600));

    // The date and time alone, at other offsets and far from now.
    for (const int offset : { -43'200, 0, 19'800, 50'400 }) {
        SessionTimeFormat::DateTimeWriter writer(offset);
        for (double when : { -3.2e19, -1e15, -86'401.5, -0.5, 0.0, 86'399.0, 86'400.0, 1.7e9, 2.5e11, 1e15, 3.2e19 }) {
            std::string written;
            writer.append(written, when);
            EXPECT_EQ(written, SessionTimeFormat::date(when, offset) + "," + SessionTimeFormat::time(when, offset))
                << when << " at " << offset;
        }
    }
}

} // namespace
} // namespace zelmar
