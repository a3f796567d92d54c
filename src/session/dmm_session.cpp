#include "session/dmm_session.h"

#include "core/diagnostic_log.h"
#include "core/pipeline.h"
#include "core/text_encoding.h"
#include "core/units.h"
#include "session/session_time_format.h"
#include "storage/file_io.h"

#include <nlohmann/json.hpp>

namespace zelmar {

namespace {

void sessionLog(const std::string& text)
{
    log::write(log::Module::session, text);
}

// The side file's deleted count; 0 when it cannot be read or is negative.
int readDeletedCount(const std::filesystem::path& metaPath)
{
    auto bytes = readWholeFile(metaPath);
    if (!bytes)
        return 0;
    const auto json = nlohmann::json::parse(*bytes, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return 0;
    const auto it = json.find("deletedCount");
    if (it == json.end() || !it->is_number_integer())
        return 0;
    const auto value = it->get<std::int64_t>();
    return value < 0 ? 0 : static_cast<int>(std::min<std::int64_t>(value, INT32_MAX));
}

void cleanUpStaleMeta(const std::filesystem::path& metaPath)
{
    if (!JournalWriter::exists(metaPath))
        return;
    if (auto removed = removeFileIfExists(metaPath); !removed) {
        sessionLog("清除殘留側檔失敗：" + removed.error().text());
        return;
    }
    log::writeRaw("[DMMSession] 已清除殘留的緩衝檔側檔（無需恢復）\r\n");
}

} // namespace

std::vector<CsvExporter::Row> csvRows(std::span<const Reading> records, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName)
{
    std::vector<CsvExporter::Row> rows;
    rows.reserve(records.size());
    for (const Reading& r : records) {
        rows.push_back({ SessionTimeFormat::date(r.timestamp()), SessionTimeFormat::time(r.timestamp()),
            functionName(r.function()), r.value() ? r.text() : overloadText, r.unit() });
    }
    return rows;
}

namespace {

// One row's fields from a reading or from the record it was journaled as
// (the record holds the reading's trimmed text, value and unit).
struct CsvSource {
    double t;
    DmmFunction function;
    bool hasValue;
    std::string_view text;
    std::string_view unit;
};

CsvSource csvSource(const Reading& r)
{
    return { r.timestamp(), r.function(), r.value().has_value(), r.text(), r.unit() };
}

// The record's fields are worked out again as the reading made from it would
// have them (the trimmed text, its value, the unit of its function and
// range), so a file written by an older build exports as it opens; nothing
// is allocated.
CsvSource csvSource(const JournalRecord& r)
{
    const int range = DMMSession::clampedRange(r.r);
    return { r.t, DmmFunction(r.f), DMMValueParser::parse(r.x).has_value(), text::trimHorizontalSpace(r.x),
        DMMUnitTable::unit(r.f, range).value_or("") };
}

// A stored record read in place, as its reading would give it.
CsvSource csvSource(const CompactReadings::Record& r)
{
    return { r.t, DmmFunction(r.function), DMMValueParser::parse(r.text).has_value(), r.text,
        DMMUnitTable::unit(r.function, r.range).value_or("") };
}

template <typename Records>
std::string csvDocumentOf(const CsvExporter::Row& header, const Records& records, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName)
{
    std::string out(CsvExporter::byteOrderMark);
    out.reserve(out.size() + 64 + records.size() * 56);
    CsvExporter::appendLine(out, header);
    std::optional<DmmFunction> named;
    std::string name;
    for (const auto& record : records) {
        const CsvSource r = csvSource(record);
        // A recording is one function for long runs: its name is made once.
        if (named != r.function) {
            name = functionName(r.function);
            named = r.function;
        }
        CsvExporter::appendLine(out,
            { SessionTimeFormat::date(r.t), SessionTimeFormat::time(r.t), name,
                r.hasValue ? r.text : std::string_view(overloadText), r.unit });
    }
    return out;
}

} // namespace

std::string csvDocument(const CsvExporter::Row& header, std::span<const Reading> records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName)
{
    return csvDocumentOf(header, records, overloadText, functionName);
}

std::string csvDocument(const CsvExporter::Row& header, std::span<const JournalRecord> records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName)
{
    return csvDocumentOf(header, records, overloadText, functionName);
}

namespace {

// The rows of stored records, for one thread: the date is made once a day,
// and the fields after the time (function name, value, unit) once per
// function, range and text, which a recording repeats.
class StoredCsvRows {
public:
    StoredCsvRows(const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName)
        : overloadText_(overloadText)
        , functionName_(functionName)
    {
    }

    void append(std::string& out, const CompactReadings& records, std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i) {
            const CompactReadings::Record record = records.record(i);
            times_.append(out, record.t);
            if (const std::string* row = rows_.find(record)) {
                out += *row;
                continue;
            }
            const CsvSource r = csvSource(record);
            if (named_ != r.function) {
                name_ = functionName_(r.function);
                named_ = r.function;
            }
            const std::size_t start = out.size();
            out += ',';
            CsvExporter::appendLine(out, { name_, r.hasValue ? r.text : std::string_view(overloadText_), r.unit });
            rows_.keep(std::string_view(out).substr(start));
        }
    }

private:
    const std::string& overloadText_;
    const std::function<std::string(DmmFunction)>& functionName_;
    SessionTimeFormat::DateTimeWriter times_;
    RecordTextMemo rows_;
    std::optional<DmmFunction> named_;
    std::string name_;
};

std::string csvOpening(const CsvExporter::Row& header)
{
    std::string out(CsvExporter::byteOrderMark);
    CsvExporter::appendLine(out, header);
    return out;
}

} // namespace

std::string csvDocument(const CsvExporter::Row& header, const CompactReadings& records,
    const std::string& overloadText, const std::function<std::string(DmmFunction)>& functionName)
{
    std::string out = csvOpening(header);
    out.reserve(out.size() + records.size() * 56);
    StoredCsvRows(overloadText, functionName).append(out, records, 0, records.size());
    return out;
}

std::expected<void, StorageError> writeCsvFile(const std::filesystem::path& destination,
    const CsvExporter::Row& header, const CompactReadings& records, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName)
{
    auto file = AtomicFileWriter::create(destination);
    if (!file)
        return std::unexpected(file.error());
    if (auto written = file->write(csvOpening(header)); !written)
        return written;
    constexpr std::size_t rowsPerPiece = 16'384; // about 650 KB
    std::array<StoredCsvRows, 2> rows { StoredCsvRows(overloadText, functionName),
        StoredCsvRows(overloadText, functionName) }; // one for each core
    std::expected<void, StorageError> written;
    runPipelined(
        (records.size() + rowsPerPiece - 1) / rowsPerPiece,
        [&](std::size_t piece, std::string& buffer, int maker) {
            const std::size_t from = piece * rowsPerPiece;
            rows[maker].append(buffer, records, from, std::min(records.size(), from + rowsPerPiece));
            return true;
        },
        [&](const std::string& buffer) {
            written = file->write(buffer);
            return written.has_value();
        });
    if (!written)
        return written;
    return file->commit();
}

std::filesystem::path DMMSession::journalPath(const std::filesystem::path& dataDirectory)
{
    return dataDirectory / "temp" / "current.jsonl";
}

std::filesystem::path DMMSession::metaPath(const std::filesystem::path& dataDirectory)
{
    return dataDirectory / "temp" / "current.meta.json";
}

DMMSession::DMMSession(std::unique_ptr<DMMDevicePort> port, const std::filesystem::path& dataDirectory,
    int pollPeriodMs, int recordLimit, PollingTiming timing)
    : engine_(std::move(port), pollPeriodMs, timing)
    , store_(recordLimit, journalPath(dataDirectory), metaPath(dataDirectory))
{
    std::error_code ec;
    std::filesystem::create_directories(dataDirectory / "temp", ec);
}

std::optional<Reading> DMMSession::record(int index) const
{
    if (index < 0 || index >= recordCount())
        return std::nullopt;
    return store_.stored()[static_cast<std::size_t>(index)];
}

SampleOutcome DMMSession::startRecording(double now)
{
    if (isRecording_)
        return SampleOutcome::notRecording();
    isRecording_ = true;
    sessionLog("開始記錄（目前 " + std::to_string(recordCount()) + " 筆）");
    return sample(now);
}

SampleOutcome DMMSession::sample(double now)
{
    if (!isRecording_)
        return SampleOutcome::notRecording();
    const auto latest = latestReading(now);
    if (!latest)
        return SampleOutcome::skipped();
    // Stamped with the sample time on the grid, not the meter's answer time.
    const Reading reading(
        now, latest->function().code(), latest->rangeIndex(), latest->text(), latest->flags(), latest->barGraph());
    const auto count = store_.append(reading);
    if (!count) {
        isRecording_ = false;
        return SampleOutcome::skipped();
    }
    if (*count < store_.recordLimit())
        return SampleOutcome { SampleOutcome::Kind::appended, reading, *count };
    isRecording_ = false;
    sessionLog("已達 " + std::to_string(store_.recordLimit()) + " 筆上限，自動停止記錄");
    return SampleOutcome { SampleOutcome::Kind::appendedAndStopped, reading, *count };
}

void DMMSession::stopRecording()
{
    if (!isRecording_)
        return;
    isRecording_ = false;
    sessionLog("停止記錄（保留 " + std::to_string(recordCount()) + " 筆）");
}

void DMMSession::loadRecords(std::vector<Reading> records, int deletedCount)
{
    loadRecords(CompactReadings(records), deletedCount);
}

void DMMSession::loadRecords(std::span<const JournalRecord> records, int deletedCount)
{
    CompactReadings stored;
    stored.reserve(records.size());
    for (const JournalRecord& r : records)
        stored.appendRecord(r.t, r.f, r.r, r.x);
    loadRecords(std::move(stored), deletedCount);
}

void DMMSession::loadRecords(CompactReadings records, int deletedCount)
{
    if (isRecording_) {
        isRecording_ = false;
        log::writeRaw("[DMMSession] 開檔載入時仍在記錄中：已先停止記錄\r\n");
    }
    const std::size_t loaded = records.size();
    store_.replace(std::move(records), deletedCount);
    sessionLog("開檔載入 " + std::to_string(loaded) + " 筆（刪除筆數 " + std::to_string(store_.deletedCount())
        + "），緩衝檔已重寫");
}

std::vector<JournalRecord> DMMSession::journalRecords() const
{
    std::vector<JournalRecord> out;
    out.reserve(store_.size());
    for (const Reading& r : store_.stored())
        out.push_back(JournalRecord::from(r));
    return out;
}

int DMMSession::clampedRange(std::int64_t range) noexcept
{
    return CompactReadings::clampedRange(range);
}

std::vector<Reading> DMMSession::readings(std::span<const JournalRecord> records)
{
    std::vector<Reading> out;
    out.reserve(records.size());
    for (const JournalRecord& r : records)
        out.emplace_back(r.t, r.f, clampedRange(r.r), r.x, DmmFlags {}, 0);
    return out;
}

std::optional<RecoveryInfo> DMMSession::pendingRecovery(const std::filesystem::path& dataDirectory)
{
    std::error_code ec;
    std::filesystem::create_directories(dataDirectory / "temp", ec);
    const auto journal = journalPath(dataDirectory);
    const auto meta = metaPath(dataDirectory);
    if (!JournalReplayer::hasContent(journal)) {
        cleanUpStaleMeta(meta);
        return std::nullopt;
    }
    auto replayed = JournalReplayer::replayStored(journal);
    if (replayed.records.empty()) {
        cleanUpStaleMeta(meta);
        return std::nullopt;
    }
    RecoveryInfo info;
    info.records = std::move(replayed.records);
    info.wasTruncated = replayed.wasTruncated;
    info.droppedLineCount = replayed.droppedLineCount;
    info.deletedCount = readDeletedCount(meta);
    return info;
}

void DMMSession::adoptRecovery(RecoveryInfo info)
{
    const std::size_t count = info.records.size();
    store_.adopt(std::move(info.records), info.deletedCount);
    sessionLog("已恢復 " + std::to_string(count) + " 筆記錄（刪除筆數 " + std::to_string(info.deletedCount) + "）"
        + (info.wasTruncated ? "（尾端損毀已截斷）" : ""));
}

void DMMSession::discardRecovery()
{
    store_.reset();
    log::writeRaw("[DMMSession] 已放棄恢復並刪除緩衝檔\r\n");
}

void DMMSession::shutdownDiscardingJournal()
{
    stopPolling();
    store_.reset();
    store_.closeJournal();
}

void DMMSession::shutdownKeepingJournal()
{
    stopPolling();
    store_.closeJournal();
}

std::expected<void, StorageError> DMMSession::exportCSV(const std::filesystem::path& destination,
    const CsvExporter::Row& header, const std::string& overloadText,
    const std::function<std::string(DmmFunction)>& functionName) const
{
    const CompactReadings& records = store_.stored();
    if (auto written = writeCsvFile(destination, header, records, overloadText, functionName); !written)
        return written;
    sessionLog("已匯出 CSV " + std::to_string(records.size()) + " 列：" + pathText(destination));
    return {};
}

} // namespace zelmar
