#include "storage/journal.h"
#include "storage/timestamp.h"

#include "core/pipeline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <type_traits>

namespace zelmar {

namespace {

constexpr std::size_t minimumLineLength = 48;

std::expected<void, StorageError> trimDamagedTail(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path);
    if (!bytes)
        return std::unexpected(bytes.error());
    const auto replayed = JournalReplayer::replayBytes(*bytes);
    if (replayed.keptLength == bytes->size())
        return {};
    // What is cut off may hold good lines after a damaged one: it is kept
    // beside the journal ("current.jsonl.damaged"), never thrown away. A
    // torn last line alone (what a crash leaves) holds nothing more.
    const std::string_view cut = std::string_view(*bytes).substr(replayed.keptLength);
    if (cut.find('\n') != std::string_view::npos && cut.find_first_not_of('\n') != std::string_view::npos) {
        std::filesystem::path aside = path;
        aside += ".damaged";
        std::string kept;
        if (auto earlier = readWholeFile(aside))
            kept = std::move(*earlier);
        kept.append(cut);
        if (!kept.empty() && kept.back() != '\n')
            kept += '\n';
        if (auto saved = writeFileAtomically(aside, kept); !saved)
            return saved;
    }
    return writeFileAtomically(path, std::string_view(*bytes).substr(0, replayed.keptLength));
}

} // namespace

std::expected<JournalWriter, StorageError> JournalWriter::create(std::filesystem::path fileURL)
{
    JournalWriter writer(std::move(fileURL));
    std::error_code ec;
    std::filesystem::create_directories(writer.fileURL_.parent_path(), ec);
    if (!exists(writer.fileURL_)) {
        if (!createFileIfMissing(writer.fileURL_))
            return std::unexpected(StorageError::cannotCreateFile(pathText(writer.fileURL_)));
    } else if (auto trimmed = trimDamagedTail(writer.fileURL_); !trimmed) {
        return std::unexpected(trimmed.error());
    }
    if (auto opened = writer.reopen(false); !opened)
        return std::unexpected(opened.error());
    return writer;
}

std::expected<void, StorageError> JournalWriter::reopen(bool createIfMissing)
{
    if (createIfMissing) {
        std::error_code ec;
        std::filesystem::create_directories(fileURL_.parent_path(), ec);
        if (!createFileIfMissing(fileURL_))
            return std::unexpected(StorageError::cannotCreateFile(pathText(fileURL_)));
    }
    auto handle = AppendFile::open(fileURL_);
    if (!handle)
        return std::unexpected(handle.error());
    handle_ = std::move(*handle);
    return {};
}

std::expected<void, StorageError> JournalWriter::append(const JournalRecord& record)
{
    if (record.v && !std::isfinite(*record.v))
        return std::unexpected(StorageError::encoding("v 不是有限數值"));
    std::string line;
    line.reserve(96);
    const int offset = LocalTimeZone::currentOffsetSeconds();
    if (!appendCanonicalLine(line, record, offset)) {
        auto general = generalLine(record, offset);
        if (!general)
            return std::unexpected(StorageError::encoding("t 不是有限數值"));
        line = std::move(*general);
    }
    if (!handle_.isOpen()) {
        if (auto opened = reopen(true); !opened)
            return opened;
    }
    return handle_.append(line);
}

namespace {

// The general encoder's line, for a record whose time has no canonical
// text; otherwise what keeps the record from being written.
std::optional<std::string> appendGeneralLine(std::string& out, const JournalRecord& record, int offsetSeconds)
{
    auto general = generalLine(record, offsetSeconds);
    if (!general)
        return "t 不是有限數值";
    out += *general;
    return std::nullopt;
}

// Lines of records in their journal form, one after another.
class JournalFormLines {
public:
    JournalFormLines(std::span<const JournalRecord> records, int offsetSeconds)
        : records_(records)
        , offset_(offsetSeconds)
    {
    }
    [[nodiscard]] std::size_t size() const noexcept { return records_.size(); }
    std::optional<std::string> append(std::string& out, std::size_t i)
    {
        const JournalRecord& record = records_[i];
        if (record.v && !std::isfinite(*record.v))
            return "v 不是有限數值";
        if (appendCanonicalLine(out, JournalFields::of(record), offset_, times_))
            return std::nullopt;
        return appendGeneralLine(out, record, offset_);
    }

private:
    std::span<const JournalRecord> records_;
    int offset_;
    TimestampWriter times_;
};

// Lines of the store's records (their values come from their texts and are
// always finite), one after another.
class StoredLines {
public:
    StoredLines(const CompactReadings& records, int offsetSeconds)
        : records_(records)
        , offset_(offsetSeconds)
        , lines_(offsetSeconds)
    {
    }
    [[nodiscard]] std::size_t size() const noexcept { return records_.size(); }
    std::optional<std::string> append(std::string& out, std::size_t i)
    {
        const CompactReadings::Record record = records_.record(i);
        if (lines_.append(out, record))
            return std::nullopt;
        const JournalFields f = JournalFields::of(record);
        return appendGeneralLine(out, { f.t, f.f, f.r, std::string(f.x), f.v, std::string(f.u) }, offset_);
    }

private:
    const CompactReadings& records_;
    int offset_;
    StoredLineWriter lines_;
};

StorageError unwritableRecord(std::size_t index, const std::string& problem)
{
    return StorageError::encoding("第 " + std::to_string(index + 1) + " 筆記錄的 " + problem);
}

template <typename Lines> std::expected<std::string, StorageError> encodeLines(Lines lines)
{
    std::string buffer;
    buffer.reserve(lines.size() * 80);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto problem = lines.append(buffer, i))
            return std::unexpected(unwritableRecord(i, *problem));
    }
    return buffer;
}

// The same lines written into a file as they are made, a piece at a time on
// both cores (each with its own copy of the line source), so the journal is
// never held whole. A record that cannot be written stops it: the one
// reported is the first found, not always the first in the file.
template <typename MakeLines>
std::expected<void, StorageError> writeLines(AtomicFileWriter& file, const MakeLines& makeLines)
{
    constexpr std::size_t linesPerPiece = 8192;
    std::array makers { makeLines(), makeLines() };
    const std::size_t count = makers[0].size();
    std::mutex mutex;
    std::optional<StorageError> unwritable;
    std::expected<void, StorageError> written;
    runPipelined(
        (count + linesPerPiece - 1) / linesPerPiece,
        [&](std::size_t piece, std::string& buffer, int maker) {
            const std::size_t to = std::min(count, (piece + 1) * linesPerPiece);
            for (std::size_t i = piece * linesPerPiece; i < to; ++i) {
                if (const auto problem = makers[maker].append(buffer, i)) {
                    const std::lock_guard lock(mutex);
                    if (!unwritable)
                        unwritable = unwritableRecord(i, *problem);
                    return false;
                }
            }
            return true;
        },
        [&](const std::string& buffer) {
            written = file.write(buffer);
            return written.has_value();
        });
    if (unwritable)
        return std::unexpected(*unwritable);
    return written;
}

} // namespace

std::expected<std::string, StorageError> JournalWriter::encode(
    std::span<const JournalRecord> records, int offsetSeconds)
{
    return encodeLines(JournalFormLines(records, offsetSeconds));
}

std::expected<std::string, StorageError> JournalWriter::encodeStored(
    const CompactReadings& records, int offsetSeconds)
{
    return encodeLines(StoredLines(records, offsetSeconds));
}

std::expected<void, StorageError> JournalWriter::rewrite(std::span<const JournalRecord> records)
{
    const int offset = LocalTimeZone::currentOffsetSeconds();
    return rewriteWith([&] { return JournalFormLines(records, offset); });
}

std::expected<void, StorageError> JournalWriter::rewriteStored(const CompactReadings& records)
{
    const int offset = LocalTimeZone::currentOffsetSeconds();
    return rewriteWith([&] { return StoredLines(records, offset); });
}

// Everything is written beside the journal before the old one is touched,
// so a record that cannot be written, or a failed write, leaves the journal
// and its handle as they were.
template <typename MakeLines> std::expected<void, StorageError> JournalWriter::rewriteWith(const MakeLines& makeLines)
{
    std::error_code ec;
    std::filesystem::create_directories(fileURL_.parent_path(), ec);
    auto file = AtomicFileWriter::create(fileURL_);
    if (!file)
        return std::unexpected(file.error());
    if (auto written = writeLines(*file, makeLines); !written)
        return written;
    if (auto closed = handle_.close(); !closed)
        return closed;
    handle_ = AppendFile();
    if (auto committed = file->commit(); !committed) {
        (void)reopen(false); // keep appending to the old journal
        return committed;
    }
    return reopen(false);
}

std::expected<void, StorageError> JournalWriter::close()
{
    return handle_.close();
}

std::expected<void, StorageError> JournalWriter::discard()
{
    if (auto closed = handle_.close(); !closed)
        return closed;
    return removeFileIfExists(fileURL_);
}

bool JournalWriter::exists(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool JournalReplayer::hasContent(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > 0;
}

namespace {

void addRecord(std::vector<JournalRecord>& records, const JournalFields& r)
{
    records.push_back({ r.t, r.f, r.r, std::string(r.x), r.v, std::string(r.u) });
}
void addRecord(std::vector<JournalRecord>& records, JournalRecord&& record)
{
    records.push_back(std::move(record));
}
void addRecord(CompactReadings& records, const JournalFields& r)
{
    records.appendRecord(r.t, r.f, r.r, r.x);
}
void addRecord(CompactReadings& records, JournalRecord&& record)
{
    records.appendRecord(record.t, record.f, record.r, record.x);
}

// Every line up to the first damaged one, into records; the lines from
// there on are counted as dropped. Answers the length of the leading bytes
// ending with the last accepted line's LF.
template <typename Records> std::size_t replayInto(std::string_view bytes, Records& records, int& droppedLineCount)
{
    // A record line is never shorter than about 60 bytes; reserving by the
    // byte count (not the line count) keeps a file of blank lines harmless.
    records.reserve(std::min<std::size_t>(bytes.size() / minimumLineLength, 1u << 20));
    // The stored form works values out from the text: the fast parser only
    // checks them.
    JournalLineReader reader(!std::is_same_v<Records, CompactReadings>);
    std::size_t keptLength = 0;
    bool failed = false;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            ++droppedLineCount; // a last line without its LF is never parsed
            break;
        }
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        if (failed) {
            ++droppedLineCount;
            continue;
        }
        if (line.empty())
            continue;
        JournalFields fields;
        if (reader.fast(line, fields)) {
            addRecord(records, fields);
            keptLength = start;
        } else if (auto record = parseJournalLineGeneral(line)) {
            addRecord(records, std::move(*record));
            keptLength = start;
        } else {
            ++droppedLineCount;
            failed = true;
        }
    }
    return keptLength;
}

} // namespace

JournalReplayer::ReplayResult JournalReplayer::replay(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path);
    if (!bytes)
        return {};
    BytesResult result = replayBytes(*bytes);
    return ReplayResult { std::move(result.records), result.droppedLineCount > 0, result.droppedLineCount };
}

JournalReplayer::StoredReplayResult JournalReplayer::replayStored(const std::filesystem::path& path)
{
    auto bytes = readWholeFile(path);
    if (!bytes)
        return {};
    StoredReplayResult result;
    (void)replayInto(*bytes, result.records, result.droppedLineCount);
    result.wasTruncated = result.droppedLineCount > 0;
    return result;
}

JournalReplayer::BytesResult JournalReplayer::replayBytes(std::string_view bytes)
{
    BytesResult result;
    result.keptLength = replayInto(bytes, result.records, result.droppedLineCount);
    return result;
}

} // namespace zelmar
