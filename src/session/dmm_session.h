#pragma once

// DMMSession: the one object through which the application reaches the
// meter, the records and the journal. It owns the polling engine and the
// record store, keeps the recording flag, lays out the journal files under
// the data directory, and at start-up answers whether an earlier run left a
// journal to recover. Everything but the engine's callbacks runs on the UI
// thread (or the command-line logger's main thread).
//
// Files under the data directory:
//   temp/current.jsonl       the journal
//   temp/current.meta.json   {"deletedCount":N}

#include "core/dmm_function.h"
#include "session/polling_engine.h"
#include "session/record_store.h"
#include "storage/csv_exporter.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar {

struct SampleOutcome {
    enum class Kind { appended, appendedAndStopped, skipped, notRecording };

    Kind kind = Kind::notRecording;
    std::optional<Reading> reading; // for the two appended kinds
    int totalCount = 0;

    static SampleOutcome skipped() { return { Kind::skipped, std::nullopt, 0 }; }
    static SampleOutcome notRecording() { return { Kind::notRecording, std::nullopt, 0 }; }
};

// The CSV rows of records: date, time, function name, value text (or the
// overload text when there is no value) and unit. The session's export and
// the command-line export of a file both use these rows.
[[nodiscard]] std::vector<CsvExporter::Row> csvRows(std::span<const Reading> records, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName);
// The whole CSV document of those rows under the header, the same bytes as
// CsvExporter::encode of csvRows, written into one buffer without row
// objects (an export of 600,000 records).
[[nodiscard]] std::string csvDocument(const CsvExporter::Row& header, std::span<const Reading> records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName);
// The same document straight from the records of a file or journal, whose
// fields are the readings' own, without making the readings.
[[nodiscard]] std::string csvDocument(const CsvExporter::Row& header, std::span<const JournalRecord> records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName);
// The same from the records as a data set keeps them, without making the readings.
[[nodiscard]] std::string csvDocument(const CsvExporter::Row& header, const CompactReadings& records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName);
// The same document written into a file as it is made: rows are formatted
// a piece at a time on both cores while this thread writes the pieces
// before them, so the document is never held whole (functionName is then
// called from both threads). The file is replaced in one step once
// everything is written, or left as it was.
[[nodiscard]] std::expected<void, StorageError> writeCsvFile(const std::filesystem::path& destination,
    const CsvExporter::Row& header, const CompactReadings& records, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName);

struct RecoveryInfo {
    CompactReadings records;
    bool wasTruncated = false;
    int droppedLineCount = 0;
    int deletedCount = 0;
};

class DMMSession {
public:
    static constexpr int applicationPollPeriodMs = 500;
    static constexpr int applicationRecordLimit = 600'000;
    static constexpr double freshnessFactor = 1.5;
    static constexpr double stopTimeoutSeconds = 3.0;

    DMMSession(std::unique_ptr<DMMDevicePort> port, const std::filesystem::path& dataDirectory,
        int pollPeriodMs = applicationPollPeriodMs, int recordLimit = applicationRecordLimit,
        PollingTiming timing = {});

    // The engine. False when its thread could not be started.
    [[nodiscard]] bool start() { return engine_.start(); }
    void stopPolling() { engine_.stop(stopTimeoutSeconds); }
    [[nodiscard]] SessionConnectionState connectionState() const { return engine_.state(); }
    [[nodiscard]] std::optional<Reading> latestReading(double now) const
    {
        return engine_.latestReading(now, freshnessFactor);
    }
    void setOnReading(std::function<void(const Reading&)> callback) { engine_.setOnReading(std::move(callback)); }
    void setOnConnectionChanged(std::function<void(const SessionConnectionState&)> callback)
    {
        engine_.setOnConnectionChanged(std::move(callback));
    }

    // The store.
    // Every record made again from its stored form (a copy).
    [[nodiscard]] std::vector<Reading> records() const { return store_.records(); }
    [[nodiscard]] int recordCount() const noexcept { return static_cast<int>(store_.size()); }
    [[nodiscard]] int recordLimit() const noexcept { return store_.recordLimit(); }
    [[nodiscard]] int deletedCount() const noexcept { return store_.deletedCount(); }
    [[nodiscard]] bool journalFailed() const noexcept { return store_.journalFailed(); }
    [[nodiscard]] bool journalComplete() const noexcept { return store_.journalComplete(); }
    [[nodiscard]] std::optional<Reading> record(int index) const;
    void setOnJournalFailure(std::function<void(const std::string&)> callback)
    {
        store_.setOnJournalFailure(std::move(callback));
    }
    int deleteRecords(std::span<const int> indexes) { return store_.remove(indexes); }
    int clearRecords() { return store_.clearAll(); }

    // Recording.
    [[nodiscard]] bool isRecording() const noexcept { return isRecording_; }
    SampleOutcome startRecording(double now);
    SampleOutcome sample(double now);
    void stopRecording();

    // Data sets.
    void newDataSet() { store_.reset(); }
    void loadRecords(std::vector<Reading> records, int deletedCount);
    // Loads a file's records, journaling them in the form they were read in.
    void loadRecords(std::span<const JournalRecord> records, int deletedCount);
    void loadRecords(CompactReadings records, int deletedCount);
    [[nodiscard]] std::vector<JournalRecord> journalRecords() const;
    // The records in their stored form, for files and exports to read.
    [[nodiscard]] const CompactReadings& storedRecords() const noexcept { return store_.stored(); }
    [[nodiscard]] static std::vector<Reading> readings(std::span<const JournalRecord> records);
    // A record's range index as a reading holds it.
    [[nodiscard]] static int clampedRange(std::int64_t range) noexcept;

    // Recovery.
    [[nodiscard]] static std::optional<RecoveryInfo> pendingRecovery(const std::filesystem::path& dataDirectory);
    void adoptRecovery(RecoveryInfo info);
    void discardRecovery();

    // Shutdown.
    void shutdownDiscardingJournal();
    void shutdownKeepingJournal();

    // Rows of date, time, function name, value text (or the overload text)
    // and unit, written as CSV.
    [[nodiscard]] std::expected<void, StorageError> exportCSV(const std::filesystem::path& destination,
        const CsvExporter::Row& header, const std::string& overloadText,
        const std::function<std::string(DmmFunction)>& functionName) const;

    [[nodiscard]] static std::filesystem::path journalPath(const std::filesystem::path& dataDirectory);
    [[nodiscard]] static std::filesystem::path metaPath(const std::filesystem::path& dataDirectory);

private:
    PollingEngine engine_;
    RecordStore store_;
    bool isRecording_ = false;
};

} // namespace zelmar
