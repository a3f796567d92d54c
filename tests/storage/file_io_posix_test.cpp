// File behaviour that needs POSIX to provoke: a full disk (a file-size cap
// in a child process), permissions, symbolic links and FIFOs.

#include "storage/file_io.h"
#include "storage/journal.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zelmar {
namespace {

using testing::capFileSize;
using testing::readFile;
using testing::runInChild;
using testing::TempDir;
using testing::writeFile;

JournalRecord record(int i)
{
    return JournalRecord { 1714542312.0 + i, 2, 1, "1." + std::to_string(1000 + i), 1.0 + i / 1000.0, "V" };
}

TEST(WriteFileAtomically, KeepsPermissionsAndReplacesWhatALinkPointsTo)
{
    TempDir dir;
    writeFile(dir / "real.json", "old");
    ::chmod((dir / "real.json").c_str(), 0600);
    std::filesystem::create_symlink("real.json", dir / "link.json");

    ASSERT_TRUE(writeFileAtomically(dir / "link.json", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.json"));
    EXPECT_EQ(readFile(dir / "real.json"), "new");
    struct stat st { };
    ASSERT_EQ(::stat((dir / "real.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(ReadWholeFile, RefusesAFifoWithoutBlocking)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(readWholeFile(dir / "pipe"));
}

TEST(AppendFile, AFifoInThePlaceOfTheJournalIsRefusedAtOnce)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "temp");
    const auto path = dir / "temp" / "current.jsonl";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // Opening it for writing would wait for a reader for ever.
    EXPECT_FALSE(AppendFile::open(path));
    EXPECT_FALSE(JournalWriter::create(path));
}

TEST(WriteFileAtomically, AFullDiskLeavesTheOldContentByteForByte)
{
    TempDir dir;
    const auto path = dir / "settings.json";
    const std::string old = "{\"recordInterval\":5}\r\n\x01\xFF";
    writeFile(path, old);
    const int status = runInChild([&] {
        capFileSize(1000);
        return writeFileAtomically(path, std::string(5000, 'x')) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "the write past the cap must fail";
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AppendFile, ATornAppendIsCutOffAndTheNextRecordsRecover)
{
    TempDir dir;
    const auto path = dir / "current.jsonl";
    // Recording, then a disk that fills for a moment mid-line, then room
    // again: every record that was reported written is recovered.
    const int status = runInChild([&] {
        auto writer = JournalWriter::create(path);
        if (!writer)
            return 10;
        for (int i = 0; i < 5; ++i)
            if (!writer->append(record(i)))
                return 11;
        const auto size = std::filesystem::file_size(path);
        capFileSize(size + 20); // room for a fragment, not a line
        if (writer->append(record(5)))
            return 12;
        if (std::filesystem::file_size(path) != size)
            return 13; // the fragment stayed
        if (writer->append(record(6)))
            return 14;
        capFileSize(RLIM_INFINITY);
        for (int i = 7; i < 10; ++i)
            if (!writer->append(record(i)))
                return 15;
        return 0;
    });
    ASSERT_EQ(status, 0);
    const auto replayed = JournalReplayer::replay(path);
    EXPECT_FALSE(replayed.wasTruncated);
    ASSERT_EQ(replayed.records.size(), 8u);
    EXPECT_EQ(replayed.records[4], record(4));
    EXPECT_EQ(replayed.records[5], record(7));
    EXPECT_EQ(replayed.records[7], record(9));
}

} // namespace
} // namespace zelmar
