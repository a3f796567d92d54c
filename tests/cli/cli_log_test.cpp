// The logger end to end: the real dmm5174k binary records from the
// simulator, is stopped, killed and started again.

#include "session/dmm_session.h"
#include "storage/zmd_file.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::ChildProcess;
using testing::readFile;
using testing::TempDir;

std::vector<std::string> logger(const TempDir& dir, std::vector<std::string> extra)
{
    std::vector<std::string> args { ZELMAR_CLI_PATH, "log", "--simulate", "--interval", "1", "--data-dir",
        dir.path().string() };
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::size_t recordsIn(const std::filesystem::path& file)
{
    const auto document = ZmdFile::open(file, "DMM-5174K", ZmdSignatureService::shared());
    EXPECT_TRUE(document) << document.error().description();
    return document ? document->records.size() : 0;
}

TEST(CliLog, SimulatedSessionSavesZmdAndCsv)
{
    TempDir dir;
    const auto zmd = dir / "a.zmd", csv = dir / "a.csv";
    ChildProcess logger_(logger(dir, { "--count", "3", "--save", zmd.string(), "--csv", csv.string() }));
    for (int i = 1; i <= 3; ++i) {
        const auto line = logger_.readLine();
        ASSERT_TRUE(line);
        EXPECT_NE(line->find("#" + std::to_string(i) + " DC Voltage"), std::string::npos) << *line;
    }
    ASSERT_EQ(logger_.wait(), 0);
    EXPECT_EQ(recordsIn(zmd), 3u);
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path()))); // saved, so discarded
    // The file command's export equals the session's own export.
    ChildProcess exporter(
        { ZELMAR_CLI_PATH, "export", zmd.string(), "-o", (dir / "b.csv").string(), "--lang", "en-US" });
    ASSERT_EQ(exporter.wait(), 0);
    EXPECT_EQ(readFile(csv), readFile(dir / "b.csv"));
}

TEST(CliLog, KilledThenRestoredKeepsEveryRecord)
{
    TempDir dir;
    int before = 0;
    {
        ChildProcess first(logger(dir, { "--count", "100" }));
        for (int i = 0; i < 3; ++i) {
            const auto line = first.readLine();
            ASSERT_TRUE(line);
            before = std::stoi(line->substr(line->find('#') + 1));
        }
        first.signal(SIGKILL);
        EXPECT_EQ(first.wait(), 128 + SIGKILL);
    }
    ASSERT_GE(before, 3);

    // Without a choice the logger refuses to touch the journal.
    ChildProcess refused(logger(dir, { "--count", "1" }));
    EXPECT_EQ(refused.wait(), 9);

    const auto zmd = dir / "restored.zmd";
    ChildProcess second(logger(dir, { "--count", "2", "--recover", "restore", "--save", zmd.string() }));
    ASSERT_EQ(second.wait(), 0);
    const std::size_t total = recordsIn(zmd);
    EXPECT_GE(total, static_cast<std::size_t>(before) + 2);
    EXPECT_LE(total, static_cast<std::size_t>(before) + 3); // at most the one in flight besides
}

TEST(CliLog, DiscardDropsTheJournal)
{
    TempDir dir;
    {
        ChildProcess first(logger(dir, { "--count", "100" }));
        ASSERT_TRUE(first.readLine());
        first.signal(SIGKILL);
    }
    const auto zmd = dir / "fresh.zmd";
    ChildProcess second(logger(dir, { "--count", "1", "--recover", "discard", "--save", zmd.string() }));
    ASSERT_EQ(second.wait(), 0);
    EXPECT_EQ(recordsIn(zmd), 1u);
}

TEST(CliLog, SigtermSavesAndASecondLoggerIsRefused)
{
    TempDir dir;
    const auto zmd = dir / "t.zmd";
    ChildProcess first(logger(dir, { "--save", zmd.string() }));
    ASSERT_TRUE(first.readLine());
    ChildProcess second(logger(dir, { "--count", "1" }));
    EXPECT_EQ(second.wait(), 8);
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_GE(recordsIn(zmd), 1u);
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path())));
}

TEST(CliLog, AFailedSaveKeepsTheJournal)
{
    TempDir dir;
    const auto unwritable = dir / "no" / "such" / "folder" / "x.zmd";
    ChildProcess logger_(logger(dir, { "--count", "1", "--save", unwritable.string() }));
    EXPECT_EQ(logger_.wait(), 1);
    EXPECT_EQ(JournalReplayer::replay(DMMSession::journalPath(dir.path())).records.size(), 1u);
}

} // namespace
} // namespace zelmar
