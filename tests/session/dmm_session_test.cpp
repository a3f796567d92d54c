#include "core/diagnostic_log.h"
#include "meter/simulator.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"
#include "session/session_time_format.h"
#include "support/manual_clock.h"
#include "support/scripted_port.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace zelmar {
namespace {

using testing::eventually;
using testing::PortScript;
using testing::readFile;
using testing::ScriptedPort;
using testing::TempDir;
using testing::writeFile;
using Kind = SampleOutcome::Kind;

const PollingTiming kFast { 5, 50, 5, 3, 5 };

// A session over a scripted port whose engine runs on a manual clock: a
// reading is never older than one poll period in that clock's time, so
// freshness never depends on how busy the machine is.
struct SessionRig {
    explicit SessionRig(int limit = 600'000)
        : clock(std::make_shared<testing::ManualClock>())
        , script(std::make_shared<PortScript>())
        , session(std::make_unique<ScriptedPort>(script), dir.path(), 10, limit, timing())
    {
    }
    PollingTiming timing() const
    {
        PollingTiming t = kFast;
        t.clock = clock;
        return t;
    }
    double now() const { return clock->wallSeconds(); }
    ~SessionRig() { session.stopPolling(); }

    // Polls until the engine holds a fresh reading.
    void waitForReading()
    {
        ASSERT_TRUE(session.start());
        ASSERT_TRUE(eventually([&] { return session.latestReading(now()).has_value(); }));
    }

    std::shared_ptr<testing::ManualClock> clock;
    TempDir dir;
    std::shared_ptr<PortScript> script;
    DMMSession session;
};

TEST(DMMSession, RecordingTakesTheFirstSampleAtOnce)
{
    SessionRig rig;
    rig.waitForReading();
    log::LogCapture log;
    const double now = rig.now();
    const SampleOutcome first = rig.session.startRecording(now);
    ASSERT_EQ(first.kind, Kind::appended);
    EXPECT_EQ(first.totalCount, 1);
    EXPECT_EQ(first.reading->timestamp(), now); // the sample time, not the meter's
    EXPECT_EQ(first.reading->text(), "12.345");
    EXPECT_TRUE(log.contains("[DMMSession] 開始記錄（目前 0 筆）\r\n"));

    EXPECT_EQ(rig.session.startRecording(now).kind, Kind::notRecording);
    EXPECT_EQ(log.count("開始記錄"), 1);
    EXPECT_EQ(rig.session.sample(rig.now()).kind, Kind::appended);
    rig.session.stopRecording();
    EXPECT_TRUE(log.contains("[DMMSession] 停止記錄（保留 2 筆）\r\n"));
    EXPECT_EQ(rig.session.sample(rig.now()).kind, Kind::notRecording);
    EXPECT_EQ(rig.session.record(1)->text(), "12.345");
    EXPECT_FALSE(rig.session.record(2));
    EXPECT_FALSE(rig.session.record(-1));
}

TEST(DMMSession, StaleReadingsAreSkippedAndRecordingStaysOn)
{
    SessionRig rig;
    rig.waitForReading();
    rig.session.stopPolling();
    const auto latest = rig.session.latestReading(rig.now());
    ASSERT_TRUE(latest);
    // Poll period 10 ms: fresh for 15 ms.
    EXPECT_EQ(rig.session.startRecording(latest->timestamp() + 0.9).kind, Kind::skipped);
    EXPECT_TRUE(rig.session.isRecording());
    EXPECT_EQ(rig.session.recordCount(), 0);
}

TEST(DMMSession, TheLimitStopsRecording)
{
    SessionRig rig(3);
    rig.waitForReading();
    log::LogCapture log;
    (void)rig.session.startRecording(rig.now());
    EXPECT_EQ(rig.session.sample(rig.now()).kind, Kind::appended);
    const SampleOutcome last = rig.session.sample(rig.now());
    EXPECT_EQ(last.kind, Kind::appendedAndStopped);
    EXPECT_EQ(last.totalCount, 3);
    EXPECT_FALSE(rig.session.isRecording());
    EXPECT_TRUE(log.contains("[DMMSession] 已達 3 筆上限，自動停止記錄\r\n"));
}

TEST(DMMSession, LoadWhileRecordingStopsAndRewrites)
{
    SessionRig rig;
    rig.waitForReading();
    (void)rig.session.startRecording(rig.now());
    log::LogCapture log;
    rig.session.loadRecords({ Reading(5, 6, 1, "1.5", {}, 0), Reading(6, 6, 1, "OL", {}, 0) }, 4);
    EXPECT_FALSE(rig.session.isRecording());
    EXPECT_TRUE(log.contains("[DMMSession] 開檔載入時仍在記錄中：已先停止記錄\r\n"));
    EXPECT_TRUE(log.contains("[DMMSession] 開檔載入 2 筆（刪除筆數 4），緩衝檔已重寫\r\n"));
    const auto replayed = JournalReplayer::replay(DMMSession::journalPath(rig.dir.path()));
    ASSERT_EQ(replayed.records.size(), 2u);
    EXPECT_EQ(replayed.records[1].x, "OL");
    EXPECT_EQ(readFile(DMMSession::metaPath(rig.dir.path())), "{\"deletedCount\":4}");
}

TEST(DMMSession, AFileLoadedInItsJournalFormJournalsTheSameBytes)
{
    const std::vector<Reading> readings { Reading(5, 6, 1, "1.5", {}, 0), Reading(6, 6, 1, "OL", {}, 0),
        Reading(7, 2, 3, "-0.012", {}, 0) };
    std::vector<JournalRecord> file;
    for (const Reading& r : readings)
        file.push_back(JournalRecord::from(r));

    SessionRig fromReadings;
    fromReadings.session.loadRecords(readings, 2);
    SessionRig fromFile;
    fromFile.session.loadRecords(std::span<const JournalRecord>(file), 2);
    EXPECT_EQ(fromFile.session.records(), readings);
    EXPECT_EQ(fromFile.session.deletedCount(), 2);
    EXPECT_EQ(readFile(DMMSession::journalPath(fromFile.dir.path())),
        readFile(DMMSession::journalPath(fromReadings.dir.path())));
}

TEST(DMMSession, RecoveryOfAJournalWithATornTail)
{
    TempDir dir;
    const auto journal = DMMSession::journalPath(dir.path());
    {
        auto writer = JournalWriter::create(journal);
        ASSERT_TRUE(writer);
        const std::vector<JournalRecord> records { JournalRecord::from(Reading(100, 2, 1, "1.0", {}, 0)),
            JournalRecord::from(Reading(101, 6, 4, "OL", {}, 0)) };
        ASSERT_TRUE(writer->rewrite(records));
    }
    {
        std::ofstream(journal, std::ios::app | std::ios::binary) << "{\"t\":\"2024";
    }
    writeFile(DMMSession::metaPath(dir.path()), "{\"deletedCount\":2,\"other\":true}");

    auto info = DMMSession::pendingRecovery(dir.path());
    ASSERT_TRUE(info);
    ASSERT_EQ(info->records.size(), 2u);
    EXPECT_TRUE(info->wasTruncated);
    EXPECT_EQ(info->droppedLineCount, 1);
    EXPECT_EQ(info->deletedCount, 2);
    // Rebuilt readings: flags off, no bar, value and unit from text and code.
    EXPECT_EQ(info->records[0].value(), 1.0);
    EXPECT_EQ(info->records[0].unit(), "V");
    EXPECT_EQ(info->records[1].value(), std::nullopt);
    EXPECT_EQ(info->records[1].unit(), "M\u03A9");
    EXPECT_EQ(info->records[1].flags(), DmmFlags {});
    // Nothing was touched yet.
    EXPECT_NE(readFile(journal).find("{\"t\":\"2024"), std::string::npos);

    auto script = std::make_shared<PortScript>();
    DMMSession session(std::make_unique<ScriptedPort>(script), dir.path(), 10, 600'000, kFast);
    log::LogCapture log;
    session.adoptRecovery(*info);
    EXPECT_TRUE(log.contains("[DMMSession] 已恢復 2 筆記錄（刪除筆數 2）（尾端損毀已截斷）\r\n"));
    EXPECT_EQ(session.recordCount(), 2);
    EXPECT_EQ(session.deletedCount(), 2);
    // The next append continues the same journal, its torn tail cut first.
    session.loadRecords(session.records(), 2);
    const auto replayed = JournalReplayer::replay(journal);
    EXPECT_EQ(replayed.records.size(), 2u);
    EXPECT_FALSE(replayed.wasTruncated);
}

TEST(DMMSession, NothingToRecoverCleansAStaleSideFile)
{
    TempDir dir;
    writeFile(DMMSession::journalPath(dir.path()), "");
    writeFile(DMMSession::metaPath(dir.path()), "{\"deletedCount\":3}");
    log::LogCapture log;
    EXPECT_FALSE(DMMSession::pendingRecovery(dir.path()));
    EXPECT_FALSE(std::filesystem::exists(DMMSession::metaPath(dir.path())));
    EXPECT_TRUE(log.contains("[DMMSession] 已清除殘留的緩衝檔側檔（無需恢復）\r\n"));

    // A journal whose first line is damaged has nothing to offer either.
    writeFile(DMMSession::journalPath(dir.path()), "garbage\n");
    EXPECT_FALSE(DMMSession::pendingRecovery(dir.path()));
    EXPECT_EQ(log.count("已清除殘留"), 1); // no side file this time, nothing logged
}

TEST(DMMSession, SideFileDamageGivesZero)
{
    TempDir dir;
    writeFile(DMMSession::journalPath(dir.path()),
        R"({"t":"2024-05-01T13:45:12+08:00","f":2,"r":1,"x":"1","u":"V"})"
        "\n");
    for (const char* meta : { "{\"deletedCount\":-4}", "not json", "{\"deletedCount\":\"3\"}", "[]" }) {
        writeFile(DMMSession::metaPath(dir.path()), meta);
        const auto info = DMMSession::pendingRecovery(dir.path());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->deletedCount, 0) << meta;
    }
}

TEST(DMMSession, DiscardAndShutdowns)
{
    SessionRig rig;
    rig.session.loadRecords({ Reading(1, 2, 1, "1", {}, 0) }, 1);
    log::LogCapture log;
    rig.session.discardRecovery();
    EXPECT_TRUE(log.contains("[DMMSession] 已放棄恢復並刪除緩衝檔\r\n"));
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(rig.dir.path())));
    EXPECT_FALSE(std::filesystem::exists(DMMSession::metaPath(rig.dir.path())));

    rig.session.loadRecords({ Reading(1, 2, 1, "1", {}, 0) }, 0);
    rig.session.shutdownKeepingJournal();
    EXPECT_TRUE(DMMSession::pendingRecovery(rig.dir.path()));
    rig.session.shutdownDiscardingJournal();
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(rig.dir.path())));
    rig.session.shutdownKeepingJournal(); // only stops polling again
}

TEST(DMMSession, ExportCsvRows)
{
    SessionRig rig;
    rig.session.loadRecords({ Reading(0, 10, 0, " 21.5 ", {}, 0), Reading(1, 6, 1, " OL", {}, 0) }, 0);
    const auto path = rig.dir / "out.csv";
    log::LogCapture log;
    ASSERT_TRUE(rig.session.exportCSV(path, { "Date", "Time", "Function", "Value", "Unit" }, "OL",
        [](DmmFunction f) { return f.code() == 10 ? std::string("Temp, C") : std::string("Ohm"); }));
    const std::string d0 = SessionTimeFormat::date(0), t0 = SessionTimeFormat::time(0);
    const std::string d1 = SessionTimeFormat::date(1), t1 = SessionTimeFormat::time(1);
    EXPECT_EQ(readFile(path),
        "\xEF\xBB\xBF"
        "Date,Time,Function,Value,Unit\r\n"
            + d0 + "," + t0
            + ",\"Temp, C\",21.5,\xC2\xB0"
              "C\r\n"
            + d1 + "," + t1 + ",Ohm,OL,k\u03A9\r\n");
    EXPECT_TRUE(log.contains("[DMMSession] 已匯出 CSV 2 列："));
    EXPECT_FALSE(
        rig.session.exportCSV(rig.dir / "no" / "such" / "x.csv", { "A" }, "OL", [](DmmFunction) { return ""; }));
}

TEST(SessionTimeFormat, TextsForAnOffset)
{
    // 2024-07-03T14:05:09+08:00
    const double t = 1719986709.75;
    EXPECT_EQ(SessionTimeFormat::date(t, 8 * 3600), "2024-07-03");
    EXPECT_EQ(SessionTimeFormat::time(t, 8 * 3600), "14:05:09");
    EXPECT_EQ(SessionTimeFormat::defaultFileName(t, "zmd", 8 * 3600), "DMM5174K_20240703_140509.zmd");
    // 2025-01-01 00:00:00 local time at -05:00.
    EXPECT_EQ(SessionTimeFormat::defaultFileName(1735707600, "csv", -5 * 3600), "DMM5174K_20250101_000000.csv");
    EXPECT_EQ(SessionTimeFormat::dateTime(0).size(), 19u);
}

TEST(DMMSession, RecordsFromTheSimulator)
{
    TempDir dir;
    auto sim = std::make_unique<MeterSimulator>(SimScenario::overload);
    sim->setRealTimeouts(false);
    DMMSession session(std::make_unique<HIDDevicePort>(std::move(sim)), dir.path(), 10, 600'000, kFast);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(eventually([&] { return session.latestReading(PollingEngine::now()).has_value(); }));
    (void)session.startRecording(PollingEngine::now());
    SampleScheduler scheduler(0.02, PollingEngine::now());
    while (session.recordCount() < 12) {
        if (scheduler.consumeIfDue(PollingEngine::now()))
            (void)session.sample(PollingEngine::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    session.shutdownKeepingJournal();
    const auto info = DMMSession::pendingRecovery(dir.path());
    ASSERT_TRUE(info);
    ASSERT_EQ(info->records.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(info->records[i].text(), session.records()[i].text());
        EXPECT_EQ(info->records[i].value(), session.records()[i].value());
        EXPECT_EQ(std::floor(info->records[i].timestamp()), std::floor(session.records()[i].timestamp()));
    }
}

// The export writes its document in one pass; it must be byte for byte what
// the row-by-row encoding gives, from readings and from their records alike,
// quoting included.
TEST(CsvDocument, SameBytesAsTheRowsFromReadingsAndFromRecords)
{
    std::vector<Reading> readings;
    readings.emplace_back(1.7e9, 2, 0, "1.234", DmmFlags {}, 0);
    readings.emplace_back(1.7e9 + 1, 2, 0, "  OL ", DmmFlags {}, 0);
    readings.emplace_back(1.7e9 + 86'400.5, 6, 4, "12.34", DmmFlags {}, 0);
    readings.emplace_back(1.7e9 + 86'402, 200, 0, "7", DmmFlags {}, 0); // an unknown function
    const auto name
        = [](DmmFunction f) { return f.code() == 6 ? std::string("R, \"ohms\"") : "F" + std::to_string(f.code()); };
    const CsvExporter::Row header = { "Date", "Time", "Function", "Value", "Unit" };
    const std::string expected = CsvExporter::encode(header, csvRows(readings, "O,L", name));
    EXPECT_EQ(csvDocument(header, readings, "O,L", name), expected);
    std::vector<JournalRecord> records;
    for (const Reading& r : readings)
        records.push_back(JournalRecord::from(r));
    EXPECT_EQ(csvDocument(header, std::span<const JournalRecord>(records), "O,L", name), expected);
    EXPECT_NE(expected.find("\"R, \"\"ohms\"\"\""), std::string::npos);

    // A file from another build may store a value, unit or untrimmed text
    // that this build would not derive: the export follows the readings.
    std::vector<JournalRecord> odd = { { 1.7e9, 2, 0, " 1.250 ", 9.5, "X" }, { 1.7e9 + 1, 6, 4, "OL", 3.0, "V" },
        { 1.7e9 + 2, 2, 1LL << 40, "2", std::nullopt, "" } };
    EXPECT_EQ(csvDocument(header, std::span<const JournalRecord>(odd), "O,L", name),
        CsvExporter::encode(header, csvRows(DMMSession::readings(odd), "O,L", name)));
    EXPECT_NE(expected.find("\"O,L\""), std::string::npos);
}

} // namespace
} // namespace zelmar
