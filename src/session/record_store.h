#pragma once

// The records of the current data set, oldest first, at most recordLimit
// of them through append. Every change is mirrored at once into the journal
// (temp/current.jsonl) and, when the deleted count changes, into the side
// file (temp/current.meta.json, exactly {"deletedCount":N}), so a crash
// loses nothing. Journal errors never fail an operation: they are logged
// every time, reported once through onJournalFailure, and the store goes on
// in memory; the journal resumes when the cause goes away. UI thread only.

#include "core/reading.h"
#include "core/compact_readings.h"
#include "storage/journal.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar {

class RecordStore {
public:
    RecordStore(int recordLimit, std::filesystem::path journalURL, std::filesystem::path metaURL);

    // The records, in their stored form; records() makes them all again.
    [[nodiscard]] const CompactReadings& stored() const noexcept { return records_; }
    [[nodiscard]] std::vector<Reading> records() const { return { records_.begin(), records_.end() }; }
    [[nodiscard]] std::size_t size() const noexcept { return records_.size(); }
    [[nodiscard]] int deletedCount() const noexcept { return deletedCount_; }
    [[nodiscard]] int recordLimit() const noexcept { return recordLimit_; }
    [[nodiscard]] bool journalFailed() const noexcept { return journalFailed_; }
    // False while records are missing from the journal since a failed
    // write; the next write that succeeds writes it whole again.
    [[nodiscard]] bool journalComplete() const noexcept { return !journalIncomplete_; }
    void setOnJournalFailure(std::function<void(const std::string&)> callback)
    {
        onJournalFailure_ = std::move(callback);
    }

    // The new count, or none when the store is full.
    [[nodiscard]] std::optional<int> append(const Reading& reading);
    // Removes the records at the given positions (out-of-range and repeated
    // positions are ignored); answers how many were removed.
    int remove(std::span<const int> indexes);
    int clearAll();
    void replace(std::vector<Reading> records, int deletedCount);
    // The same with the records in their stored form already (a file just
    // read): nothing is converted.
    void replace(CompactReadings records, int deletedCount);
    void discardJournal();
    void reset();

    // Recovery: take records and deleted count as the journal already
    // holds them, without writing anything.
    void adopt(CompactReadings records, int deletedCount);
    // Closes the journal writer if open (errors ignored) and drops it.
    void closeJournal();

    [[nodiscard]] static std::string metaText(int deletedCount);

private:
    bool ensureWriter();
    void writeMeta();
    void rewriteJournal();
    void journalFailure(const StorageError& error);

    int recordLimit_;
    CompactReadings records_;
    int deletedCount_ = 0;
    std::filesystem::path journalURL_;
    std::filesystem::path metaURL_;
    bool journalFailed_ = false;
    bool journalIncomplete_ = false;
    std::function<void(const std::string&)> onJournalFailure_;
    std::optional<JournalWriter> writer_;
};

} // namespace zelmar
