#include "storage/file_io.h"
#include "storage/journal.h"
#include "storage/settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReadWholeFile, FoldersAreAnErrorValueNotAnAbort)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "folder");
    const auto read = readWholeFile(dir / "folder");
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().path.find("folder"), std::string::npos);
    EXPECT_FALSE(readWholeFile(dir / "missing"));

    writeFile(dir / "file", std::string("a\0b\r\n", 5));
    EXPECT_EQ(readWholeFile(dir / "file").value(), std::string("a\0b\r\n", 5));
    writeFile(dir / "empty", "");
    EXPECT_EQ(readWholeFile(dir / "empty").value(), "");
}

TEST(ReadWholeFile, WhatReadsThroughItSurvivesAFolderInPlace)
{
    TempDir dir;
    // settings.json, the journal and a .zmd that are folders: defaults, an
    // empty replay, an error; never a crash.
    std::filesystem::create_directories(dir / "settings.json");
    const AppSettings loaded = SettingsStore(PathProvider(dir.path())).load();
    EXPECT_EQ(loaded.recordInterval, AppSettings {}.recordInterval);
    EXPECT_EQ(loaded.language, AppSettings {}.language);

    std::filesystem::create_directories(dir / "temp" / "current.jsonl");
    EXPECT_TRUE(JournalReplayer::replay(dir / "temp" / "current.jsonl").records.empty());
    EXPECT_FALSE(JournalWriter::create(dir / "temp" / "current.jsonl"));
}

TEST(WriteFileAtomically, ReplacesAndLeavesOnlyTheTarget)
{
    TempDir dir;
    const auto path = dir / "out.txt";
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    ASSERT_TRUE(writeFileAtomically(path, "second, longer"));
    EXPECT_EQ(readFile(path), "second, longer");
    ASSERT_TRUE(writeFileAtomically(path, ""));
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "out.txt" });
}

TEST(WriteFileAtomically, NeverWritesThroughAFileLeftAtTheOldTemporaryName)
{
    TempDir dir;
    // A crash (or someone else) left a file where the temporary used to go:
    // it is neither truncated nor taken over.
    writeFile(dir / "settings.json.tmp", "someone else's");
    ASSERT_TRUE(writeFileAtomically(dir / "settings.json", "{}"));
    EXPECT_EQ(readFile(dir / "settings.json.tmp"), "someone else's");
    EXPECT_EQ(readFile(dir / "settings.json"), "{}");
}

TEST(WriteFileAtomically, AFailedReplaceKeepsTheOldTargetAndCleansUp)
{
    TempDir dir;
    // A non-empty folder cannot be replaced by a file: the write succeeds,
    // the rename fails, and nothing of the attempt is left behind.
    writeFile(dir / "target" / "inside", "kept");
    EXPECT_FALSE(writeFileAtomically(dir / "target", "new"));
    EXPECT_EQ(readFile(dir / "target" / "inside"), "kept");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "target" });
    // A folder that does not exist: an error naming it, no file anywhere.
    const auto missing = writeFileAtomically(dir / "no" / "such" / "file", "x");
    ASSERT_FALSE(missing);
    EXPECT_FALSE(missing.error().path.empty());
}

// Written in pieces: nothing changes at the destination until commit, and
// a writer given up before it leaves the old file and nothing else.
TEST(AtomicFileWriter, PiecesTakeThePlaceAtCommitOnly)
{
    TempDir dir;
    const auto path = dir / "data.zmd";
    writeFile(path, "old");
    {
        auto writer = AtomicFileWriter::create(path);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->write("new "));
        ASSERT_TRUE(writer->write(std::string(100'000, 'x')));
        EXPECT_EQ(readFile(path), "old");
        ASSERT_TRUE(writer->write("end"));
        ASSERT_TRUE(writer->commit());
        EXPECT_FALSE(writer->write("late")); // a committed writer is done
        EXPECT_FALSE(writer->commit());
    }
    EXPECT_EQ(readFile(path), "new " + std::string(100'000, 'x') + "end");
    {
        auto writer = AtomicFileWriter::create(path);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer->write("never put in place"));
        auto moved = std::move(*writer); // one owner, whoever holds it
    }
    EXPECT_EQ(readFile(path), "new " + std::string(100'000, 'x') + "end");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> { "data.zmd" });
}

TEST(UniqueTemporaryPath, FreshNamesBesideTheFile)
{
    TempDir dir;
    const auto a = uniqueTemporaryPathFor(dir / "current.jsonl");
    const auto b = uniqueTemporaryPathFor(dir / "current.jsonl");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.parent_path(), dir.path());
    EXPECT_EQ(a.filename().string().rfind("current.jsonl.", 0), 0u);
    EXPECT_EQ(a.extension(), ".tmp");
}

} // namespace
} // namespace zelmar
