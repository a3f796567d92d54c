#pragma once

// The journal: every recorded reading written at once as one line of JSON
// (see journal_record.h) to temp/current.jsonl, so a crash loses nothing.
// JournalWriter appends and rewrites it; JournalReplayer reads it back,
// keeping every record before the first damaged line.
//
// A file is UTF-8 without BOM, one record per line, each line ended by LF.

#include "storage/file_io.h"
#include "storage/journal_record.h"

#include <expected>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace zelmar {

class JournalWriter {
public:
    // Creates the folder and the file as needed, trims a damaged tail of an
    // existing file (atomically), and opens it for appending.
    [[nodiscard]] static std::expected<JournalWriter, StorageError> create(std::filesystem::path fileURL);

    JournalWriter(JournalWriter&&) noexcept = default;
    JournalWriter& operator=(JournalWriter&&) noexcept = default;

    [[nodiscard]] const std::filesystem::path& fileURL() const noexcept { return fileURL_; }
    [[nodiscard]] bool isOpen() const noexcept { return handle_.isOpen(); }

    // One line at the end of the file, flushed to disk before returning.
    [[nodiscard]] std::expected<void, StorageError> append(const JournalRecord& record);
    // Replaces the whole file by the given records (atomically), then
    // reopens it for appending.
    [[nodiscard]] std::expected<void, StorageError> rewrite(std::span<const JournalRecord> records);
    // The same from the data set's store, each record written as its
    // reading would be (no intermediate records).
    [[nodiscard]] std::expected<void, StorageError> rewriteStored(const CompactReadings& records);
    [[nodiscard]] std::expected<void, StorageError> close();
    // Closes the handle and deletes the file.
    [[nodiscard]] std::expected<void, StorageError> discard();

    [[nodiscard]] static bool exists(const std::filesystem::path& path);

    // The bytes of a full rewrite: canonical lines, each record whose
    // timestamp has no canonical text written by the general encoder. A
    // record neither can write (a non-finite time or value) is an error:
    // leaving it out would lose it without a word.
    [[nodiscard]] static std::expected<std::string, StorageError> encode(
        std::span<const JournalRecord> records, int offsetSeconds);
    [[nodiscard]] static std::expected<std::string, StorageError> encodeStored(
        const CompactReadings& records, int offsetSeconds);

private:
    explicit JournalWriter(std::filesystem::path fileURL)
        : fileURL_(std::move(fileURL))
    {
    }
    [[nodiscard]] std::expected<void, StorageError> reopen(bool createIfMissing);
    // Writes the lines a line source made by makeLines gives (one source for
    // each core) beside the journal, then puts them in its place.
    template <typename MakeLines> [[nodiscard]] std::expected<void, StorageError> rewriteWith(const MakeLines& makeLines);

    std::filesystem::path fileURL_;
    AppendFile handle_;
};

namespace JournalReplayer {

struct ReplayResult {
    std::vector<JournalRecord> records;
    bool wasTruncated = false;
    int droppedLineCount = 0;
};

struct BytesResult {
    std::vector<JournalRecord> records;
    int droppedLineCount = 0;
    std::size_t keptLength = 0; // leading bytes ending with the last accepted line's LF
};

// True exactly when the file's size can be read and is not zero.
[[nodiscard]] bool hasContent(const std::filesystem::path& path);
// An empty result when the file cannot be read at all.
[[nodiscard]] ReplayResult replay(const std::filesystem::path& path);
// The same read straight into a data set's stored form: each record as the
// reading made from it would be (value and unit worked out from its text),
// with no record of the journal's form made in between.
struct StoredReplayResult {
    CompactReadings records;
    bool wasTruncated = false;
    int droppedLineCount = 0;
};
[[nodiscard]] StoredReplayResult replayStored(const std::filesystem::path& path);
[[nodiscard]] BytesResult replayBytes(std::string_view bytes);

} // namespace JournalReplayer

} // namespace zelmar
