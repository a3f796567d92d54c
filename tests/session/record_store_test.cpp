#include "core/diagnostic_log.h"
#include "session/record_store.h"
#include "session/sample_scheduler.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::readFile;
using testing::TempDir;

Reading reading(double t, const char* text = "1.000")
{
    return Reading(t, 2, 1, text, {}, 0);
}

TEST(SampleScheduler, GridAnchoredAtTheStart)
{
    const double t0 = 1000.0;
    SampleScheduler s(2.0, t0);
    EXPECT_EQ(s.nextDueTime(), t0 + 2);
    EXPECT_FALSE(s.consumeIfDue(t0 + 1.9));
    EXPECT_TRUE(s.consumeIfDue(t0 + 2.0));
    EXPECT_EQ(s.nextDueTime(), t0 + 4);
    EXPECT_FALSE(s.consumeIfDue(t0 + 3.99));
    EXPECT_TRUE(s.consumeIfDue(t0 + 9.1)); // a stall: one sample, missed points skipped
    EXPECT_EQ(s.nextDueTime(), t0 + 10);
    EXPECT_FALSE(s.consumeIfDue(t0 + 9.9));

    SampleScheduler one(1.0, 0);
    EXPECT_TRUE(one.consumeIfDue(3.7));
    EXPECT_EQ(one.nextDueTime(), 4.0);

    EXPECT_EQ(SampleScheduler::tickMilliseconds(1), 250u);
    EXPECT_EQ(SampleScheduler::tickMilliseconds(0.25), 250u);
    EXPECT_EQ(SampleScheduler::tickMilliseconds(0.1), 100u);
    EXPECT_EQ(SampleScheduler::tickMilliseconds(0.0004), 1u);
    EXPECT_EQ(SampleScheduler::tickMilliseconds(3600), 250u);
}

struct StoreRig {
    explicit StoreRig(int limit = 600'000)
        : store(limit, dir / "temp" / "current.jsonl", dir / "temp" / "current.meta.json")
    {
        store.setOnJournalFailure([this](const std::string& d) { failures.push_back(d); });
    }
    std::filesystem::path journal() const { return dir / "temp" / "current.jsonl"; }
    std::filesystem::path meta() const { return dir / "temp" / "current.meta.json"; }
    std::size_t journalRecords() const { return JournalReplayer::replay(journal()).records.size(); }

    TempDir dir;
    RecordStore store;
    std::vector<std::string> failures;
};

TEST(RecordStore, AppendJournalsEveryRecordAndRespectsTheLimit)
{
    StoreRig rig(3);
    EXPECT_EQ(rig.store.append(reading(1)), 1);
    EXPECT_EQ(rig.journalRecords(), 1u);
    EXPECT_EQ(rig.store.append(reading(2)), 2);
    EXPECT_EQ(rig.store.append(reading(3)), 3);
    EXPECT_EQ(rig.store.append(reading(4)), std::nullopt);
    EXPECT_EQ(rig.journalRecords(), 3u);
    EXPECT_FALSE(std::filesystem::exists(rig.meta()));
}

TEST(RecordStore, DeleteCountsAndRewrites)
{
    StoreRig rig;
    for (int i = 0; i < 10; ++i)
        (void)rig.store.append(reading(i));
    const std::vector<int> indexes { 5, 5, -1, 99 };
    EXPECT_EQ(rig.store.remove(indexes), 1);
    EXPECT_EQ(rig.store.deletedCount(), 1);
    EXPECT_EQ(readFile(rig.meta()), "{\"deletedCount\":1}");
    const auto replayed = JournalReplayer::replay(rig.journal());
    ASSERT_EQ(replayed.records.size(), 9u);
    EXPECT_EQ(replayed.records[5].t, 6.0);

    const auto before = readFile(rig.journal());
    std::filesystem::remove(rig.meta());
    EXPECT_EQ(rig.store.remove(std::vector<int> {}), 0);
    EXPECT_EQ(rig.store.remove(std::vector<int> { -5, 9 }), 0);
    EXPECT_EQ(readFile(rig.journal()), before);
    EXPECT_FALSE(std::filesystem::exists(rig.meta()));
}

TEST(RecordStore, ClearAllReplaceAndReset)
{
    StoreRig rig;
    for (int i = 0; i < 7; ++i)
        (void)rig.store.append(reading(i));
    rig.store.replace(rig.store.records(), 3);
    EXPECT_EQ(readFile(rig.meta()), "{\"deletedCount\":3}");
    EXPECT_EQ(rig.store.clearAll(), 7);
    EXPECT_EQ(rig.store.deletedCount(), 10);
    EXPECT_EQ(readFile(rig.meta()), "{\"deletedCount\":10}");
    EXPECT_TRUE(std::filesystem::exists(rig.journal()));
    EXPECT_EQ(readFile(rig.journal()), "");

    rig.store.replace({ reading(1), reading(2) }, -4);
    EXPECT_EQ(rig.store.deletedCount(), 0);
    EXPECT_EQ(readFile(rig.meta()), "{\"deletedCount\":0}");
    EXPECT_EQ(rig.journalRecords(), 2u);

    rig.store.reset();
    EXPECT_TRUE(rig.store.records().empty());
    EXPECT_EQ(rig.store.deletedCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(rig.journal()));
    EXPECT_FALSE(std::filesystem::exists(rig.meta()));
    EXPECT_TRUE(rig.failures.empty());
}

// The journal's folder is a plain file: nothing can be created in it.
TEST(RecordStore, JournalFailuresAreLoggedEachTimeAndReportedOnce)
{
    StoreRig rig;
    testing::writeFile(rig.dir / "temp", "in the way");
    log::LogCapture log;
    EXPECT_EQ(rig.store.append(reading(1)), 1);
    EXPECT_EQ(rig.store.append(reading(2)), 2);
    EXPECT_EQ(rig.store.records().size(), 2u); // memory goes on
    EXPECT_TRUE(rig.store.journalFailed());
    EXPECT_EQ(rig.failures.size(), 1u);
    EXPECT_EQ(log.count("[DMMSession] 緩衝檔寫入失敗："), 2);

    EXPECT_FALSE(rig.store.journalComplete());

    // The cause goes away: the next write brings the whole journal back,
    // with the records it missed, so a crash from now on loses nothing.
    std::filesystem::remove(rig.dir / "temp");
    EXPECT_EQ(rig.store.append(reading(3)), 3);
    EXPECT_EQ(rig.journalRecords(), 3u);
    EXPECT_TRUE(rig.store.journalComplete());
    EXPECT_EQ(rig.store.append(reading(4)), 4);
    EXPECT_EQ(rig.journalRecords(), 4u);
    EXPECT_EQ(rig.store.remove(std::vector<int> { 0 }), 1);
    EXPECT_EQ(rig.journalRecords(), 3u);
    EXPECT_EQ(rig.failures.size(), 1u);
    rig.store.discardJournal();
    EXPECT_FALSE(rig.store.journalFailed());
}

#ifndef _WIN32
// Mid-recording: the folder vanishes under an open journal, so the next
// rewrite fails, and every append after it fails to reopen the file.
TEST(RecordStore, JournalFailureMidRecordingAndRecovery)
{
    StoreRig rig;
    for (int i = 0; i < 3; ++i)
        (void)rig.store.append(reading(i));
    std::filesystem::rename(rig.dir / "temp", rig.dir / "temp.away");
    testing::writeFile(rig.dir / "temp", "in the way");
    log::LogCapture log;
    EXPECT_EQ(rig.store.remove(std::vector<int> { 0 }), 1);
    EXPECT_EQ(rig.store.append(reading(10)), 3);
    EXPECT_EQ(rig.store.append(reading(11)), 4);
    EXPECT_EQ(log.count("緩衝檔寫入失敗："), 4); // side file, rewrite, two appends
    EXPECT_EQ(rig.failures.size(), 1u);

    std::filesystem::remove(rig.dir / "temp");
    std::filesystem::rename(rig.dir / "temp.away", rig.dir / "temp");
    EXPECT_EQ(rig.store.append(reading(12)), 5);
    EXPECT_EQ(rig.store.remove(std::vector<int> { 0 }), 1);
    const auto replayed = JournalReplayer::replay(rig.journal());
    ASSERT_EQ(replayed.records.size(), 4u);
    EXPECT_EQ(replayed.records.back().t, 12.0);
    EXPECT_EQ(readFile(rig.meta()), "{\"deletedCount\":2}");
}
#endif

} // namespace
} // namespace zelmar
