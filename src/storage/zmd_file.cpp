#include "storage/zmd_file.h"
#include "core/alongside.h"
#include "core/pipeline.h"
#include "storage/json_document.h"

#include "storage/file_io.h"
#include "storage/json_scan.h"
#include "storage/json_write.h"
#include "storage/signed_envelope.h"
#include "storage/timestamp.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <type_traits>

namespace zelmar {

namespace {

using JsonScan::skipSpace;
using JsonScan::skipValue;

std::optional<std::string> jsonString(std::string_view raw)
{
    if (raw.empty() || raw.front() != '"')
        return std::nullopt;
    if (raw.size() >= 2 && JsonScan::isPlainStringContent(raw.substr(1, raw.size() - 2)))
        return std::string(raw.substr(1, raw.size() - 2));
    const auto decoded = parseJsonDocument(raw);
    if (decoded.is_discarded() || !decoded.is_string())
        return std::nullopt;
    return decoded.get<std::string>();
}

// Where scanned records go: the journal form, or the compact store.
void reserveRecords(std::vector<JournalRecord>& records, std::size_t count)
{
    records.reserve(count);
}
void reserveRecords(CompactReadings& records, std::size_t count)
{
    records.reserve(count);
}
// The compact store works values out from the text.
constexpr bool keepsValues(const std::vector<JournalRecord>&)
{
    return true;
}
constexpr bool keepsValues(const CompactReadings&)
{
    return false;
}
void addRecord(std::vector<JournalRecord>& records, const JournalFields& r)
{
    records.push_back({ r.t, r.f, r.r, std::string(r.x), r.v, std::string(r.u) });
}
void addRecord(CompactReadings& records, const JournalFields& r)
{
    records.appendRecord(r.t, r.f, r.r, r.x);
}

template <typename Records>
bool scanRecords(std::string_view b, std::size_t& pos, std::size_t end, std::size_t limit, ZmdScanner::Header& out,
    Records& records)
{
    if (pos >= end || b[pos] != '[')
        return false;
    ++pos;
    reserveRecords(records, std::min(limit, (end - pos) / 40));
    JournalLineReader reader(keepsValues(records));
    skipSpace(b, pos, end);
    if (pos < end && b[pos] == ']') {
        ++pos;
        return true;
    }
    for (;;) {
        skipSpace(b, pos, end);
        const std::size_t start = pos;
        ++out.actualRecordCount;
        const bool decode = out.actualRecordCount <= limit;
        // A canonical record ends at its first '}': the fast parser accepts
        // that candidate only when it is the whole element (its strings hold
        // no backslash, so a '}' inside one leaves it unterminated). Anything
        // else is measured with the value scanner and decoded in general.
        const std::size_t close = decode ? b.find('}', start) : std::string_view::npos;
        JournalFields fields;
        if (close != std::string_view::npos && close < end
            && reader.fast(b.substr(start, close + 1 - start), fields)) {
            pos = close + 1;
            addRecord(records, fields);
        } else {
            // A record is an element of the records array, itself a member
            // of the payload: level 3, as deep as the JSON decoder counts.
            if (!skipValue(b, pos, end, 3))
                return false;
            if (decode) {
                const auto record = parseJournalLineGeneral(b.substr(start, pos - start));
                if (!record || (record->v && !std::isfinite(*record->v)))
                    return false;
                addRecord(records, JournalFields::of(*record));
            } else {
                out.overLimit = true;
            }
        }
        const auto next = JsonScan::afterItem(b, pos, end, ']');
        if (next != JsonScan::AfterMember::another)
            return next == JsonScan::AfterMember::closed;
    }
}

template <typename Records>
bool scanPayloadAt(std::string_view b, std::size_t& pos, std::size_t end, std::size_t recordLimit,
    ZmdScanner::Header& out, Records& records)
{
    if (pos >= end || b[pos] != '{')
        return false;
    ++pos;
    std::optional<std::string> format, model, software;
    std::optional<std::int64_t> version, recordCount, deletedCount;
    std::optional<double> savedAt;
    bool haveRecords = false;
    skipSpace(b, pos, end);
    if (pos < end && b[pos] == '}')
        return false; // nothing of what is required
    for (;;) {
        std::string_view key;
        if (!JsonScan::readKey(b, pos, end, key))
            return false;
        const std::size_t valueStart = pos;
        if (key == "records") {
            if (haveRecords || !scanRecords(b, pos, end, recordLimit, out, records))
                return false;
            haveRecords = true;
        } else {
            if (!skipValue(b, pos, end, 2))
                return false;
            const std::string_view raw = b.substr(valueStart, pos - valueStart);
            const auto takeString = [&](std::optional<std::string>& slot) {
                if (slot)
                    return false;
                slot = jsonString(raw);
                return slot.has_value();
            };
            const auto takeInteger = [&](std::optional<std::int64_t>& slot) {
                std::int64_t value = 0;
                if (slot || !JsonScan::parseInteger(raw, value))
                    return false;
                slot = value;
                return true;
            };
            bool ok = true;
            if (key == "format")
                ok = takeString(format);
            else if (key == "formatVersion")
                ok = takeInteger(version);
            else if (key == "model")
                ok = takeString(model);
            else if (key == "software")
                ok = takeString(software);
            else if (key == "recordCount")
                ok = takeInteger(recordCount);
            else if (key == "deletedCount")
                ok = takeInteger(deletedCount);
            else if (key == "savedAt") {
                std::optional<std::string> text;
                ok = !savedAt && takeString(text) && (savedAt = parseTimestampFast(*text)).has_value();
            }
            if (!ok)
                return false;
        }
        const auto next = JsonScan::afterMember(b, pos, end);
        if (next == JsonScan::AfterMember::invalid)
            return false;
        if (next == JsonScan::AfterMember::closed)
            break;
    }
    if (!format || *format != ZmdFile::formatMagic || !version || *version != ZmdFile::formatVersion || !model
        || !software || !savedAt || !recordCount || *recordCount < 0 || !deletedCount || *deletedCount < 0
        || !haveRecords)
        return false;
    out.model = std::move(*model);
    out.software = std::move(*software);
    out.savedAt = *savedAt;
    out.declaredRecordCount = *recordCount;
    out.deletedCount = *deletedCount;
    return true;
}

// The payload's record lines, written by one thread with what it keeps
// from line to line: each line after ",\n", the very first after "\n".
// False when a record has no canonical time.
class JournalFormPayloadLines {
public:
    explicit JournalFormPayloadLines(int offset)
        : offset_(offset)
    {
    }
    bool append(std::string& out, const std::vector<JournalRecord>& records, std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i) {
            out += i == 0 ? "\n" : ",\n";
            if (!appendCanonicalLine(out, JournalFields::of(records[i]), offset_, times_))
                return false;
            out.pop_back(); // the line's LF
        }
        return true;
    }

private:
    int offset_;
    TimestampWriter times_;
};

class StoredPayloadLines {
public:
    explicit StoredPayloadLines(int offset)
        : lines_(offset)
    {
    }
    bool append(std::string& out, const CompactReadings& records, std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i) {
            out += i == 0 ? "\n" : ",\n";
            if (!lines_.append(out, records.record(i)))
                return false;
            out.pop_back();
        }
        return true;
    }

private:
    StoredLineWriter lines_;
};

double recordTime(const std::vector<JournalRecord>& records, std::size_t i)
{
    return records[i].t;
}
double recordTime(const CompactReadings& records, std::size_t i)
{
    return records.record(i).t;
}

template <typename Records>
using PayloadLines = std::conditional_t<std::is_same_v<Records, CompactReadings>, StoredPayloadLines, JournalFormPayloadLines>;

ZmdError tooLarge(std::int64_t total, std::int64_t limit)
{
    return ZmdError::io("檔案大小 " + std::to_string(total) + " 位元組超過 .zmd 上限 " + std::to_string(limit));
}

ZmdError unwritableTime()
{
    return ZmdError::io("記錄時間無法以 ISO-8601 表示");
}

// The payload up to its first record line (the members before the records),
// or why the document cannot be saved.
template <typename Document>
std::expected<std::string, ZmdSaveError> payloadOpening(const Document& document, int offset)
{
    if (document.records.size() > ZmdFile::mostRecords)
        return std::unexpected(ZmdError::io("記錄筆數 " + std::to_string(document.records.size())
            + " 超過 .zmd 上限 " + std::to_string(ZmdFile::mostRecords)));
    if (document.deletedCount < 0)
        return std::unexpected(
            ZmdError::io("deletedCount 不可為負值（" + std::to_string(document.deletedCount) + "）"));
    const auto savedAt = canonicalTimestamp(document.savedAt, offset);
    if (!savedAt)
        return std::unexpected(ZmdError::io("savedAt 時間無法以 ISO-8601 表示"));
    std::string opening = "{\"format\":\"ZELMAR-ZMD\",\"formatVersion\":1,\n\"model\":";
    appendJsonString(opening, document.model);
    opening += ",\n\"software\":";
    appendJsonString(opening, document.software);
    opening += ",\n\"savedAt\":\"" + *savedAt + "\",\n\"recordCount\":" + std::to_string(document.records.size())
        + ",\n\"deletedCount\":" + std::to_string(document.deletedCount) + ",\n\"records\":[";
    return opening;
}

constexpr std::string_view payloadClosing = "\n]}";

// The sealed document's opening and the payload, ready to be signed.
template <typename Document> std::expected<std::string, ZmdSaveError> encodePayload(const Document& document)
{
    const int offset = LocalTimeZone::currentOffsetSeconds();
    auto opening = payloadOpening(document, offset);
    if (!opening)
        return std::unexpected(opening.error());
    // The payload is written where the sealed document will hold it.
    std::string payload(SignedJSONEnvelope::sealedPrefix);
    payload.reserve(document.records.size() * 96 + 1024); // untouched room costs nothing; a regrowth copies it all
    payload += *opening;
    // A large document formats its second half on a second core meanwhile.
    const std::size_t count = document.records.size();
    const std::size_t split = count >= 50'000 ? count / 2 : count;
    std::string secondHalf;
    bool secondWritten = true;
    bool firstWritten = false;
    const auto first = [&] {
        firstWritten = PayloadLines<decltype(document.records)>(offset).append(payload, document.records, 0, split);
    };
    if (split < count)
        runAlongside(first, [&] {
            secondHalf.reserve((count - split) * 96);
            secondWritten
                = PayloadLines<decltype(document.records)>(offset).append(secondHalf, document.records, split, count);
        });
    else
        first();
    if (!firstWritten || !secondWritten)
        return std::unexpected(unwritableTime());
    payload += secondHalf;
    payload += payloadClosing;
    return payload;
}

template <typename Document>
std::expected<std::string, ZmdSaveError> encodeDocument(
    const Document& document, const ZmdSigner& signer, std::int64_t byteLimit)
{
    auto payload = encodePayload(document);
    if (!payload)
        return std::unexpected(payload.error());
    auto sealed = SignedJSONEnvelope::sealInPlace(std::move(*payload), signer, byteLimit);
    if (!sealed) {
        if (const auto* large = std::get_if<SignedJSONEnvelope::TooLarge>(&sealed.error()))
            return std::unexpected(tooLarge(large->total, large->limit));
        if (const auto* crypto = std::get_if<CryptoError>(&sealed.error()))
            return std::unexpected(*crypto);
        return std::unexpected(ZmdError::io("payload 不是單一 JSON 值"));
    }
    return std::move(*sealed);
}

ZmdError fileError(const StorageError& error)
{
    return ZmdError::io(error.detail.empty() ? error.text() : error.detail);
}

ZmdSaveError saveError(const SealedFileWriter::Error& error)
{
    if (const auto* large = std::get_if<SignedJSONEnvelope::TooLarge>(&error))
        return tooLarge(large->total, large->limit);
    if (const auto* crypto = std::get_if<CryptoError>(&error))
        return *crypto;
    return fileError(std::get<StorageError>(error));
}

// A save streams the document into the file: the record lines are formatted
// a piece at a time on both cores while this thread hashes and writes the
// pieces before them, so the document is never held whole (for a week
// of readings that would be about 50 MB of fresh memory, which costs about
// what writing it does).
template <typename Document>
std::expected<void, ZmdSaveError> saveDocument(
    const Document& document, const std::filesystem::path& destination, const ZmdSigner& signer)
{
    const int offset = LocalTimeZone::currentOffsetSeconds();
    const auto opening = payloadOpening(document, offset);
    if (!opening)
        return std::unexpected(opening.error());
    // A time that cannot be written is found before the file is touched, as
    // when the document was made whole first.
    for (std::size_t i = 0; i < document.records.size(); ++i)
        if (!hasCanonicalTimestamp(recordTime(document.records, i), offset))
            return std::unexpected(unwritableTime());
    auto file = SealedFileWriter::create(destination, signer, ZmdFile::largestFile);
    if (!file)
        return std::unexpected(saveError(file.error()));
    std::optional<SealedFileWriter::Error> failed;
    const auto write = [&](std::string_view piece) {
        if (auto written = file->write(piece); !written) {
            failed = written.error();
            return false;
        }
        return true;
    };
    if (!write(*opening))
        return std::unexpected(saveError(*failed));

    constexpr std::size_t linesPerPiece = 8192; // about 650 KB: a few pieces stay in the cache
    const std::size_t count = document.records.size();
    using Lines = PayloadLines<decltype(document.records)>;
    std::array<Lines, 2> lines { Lines(offset), Lines(offset) }; // one for each core
    std::atomic<bool> timesWritten = true;
    const bool all = runPipelined(
        (count + linesPerPiece - 1) / linesPerPiece,
        [&](std::size_t piece, std::string& buffer, int maker) {
            const std::size_t from = piece * linesPerPiece;
            if (lines[maker].append(buffer, document.records, from, std::min(count, from + linesPerPiece)))
                return true;
            timesWritten = false;
            return false;
        },
        [&](const std::string& buffer) { return write(buffer); });
    if (!timesWritten)
        return std::unexpected(unwritableTime());
    if (!all || !write(payloadClosing))
        return std::unexpected(saveError(*failed));
    if (auto committed = file->commit(); !committed)
        return std::unexpected(saveError(committed.error()));
    return {};
}

template <typename Document>
std::expected<Document, ZmdError> decodeDocument(std::string bytes, std::string_view expectedModel,
    const ZmdVerifier& verifier, std::int64_t byteLimit, std::size_t recordLimit)
{
    using Kind = SignedJSONEnvelope::PeekValue::Kind;
    if (static_cast<std::int64_t>(bytes.size()) > byteLimit)
        return std::unexpected(ZmdError::notZmd());
    // The records are read while the envelope is parsed, in the one pass
    // that finds where the payload ends, and the signature is checked on
    // the side meanwhile. Errors keep their order: a payload that does not
    // read as records is skipped here and refused only after the header and
    // the signature have been checked, and nothing read counts before the
    // signature does.
    ZmdScanner::Header header;
    Document document;
    bool scanned = false;
    auto [envelope, verified] = SignedJSONEnvelope::parseVerifying(
        std::move(bytes),
        [&](std::string_view b, std::size_t& pos, std::size_t end) {
            scanned = scanPayloadAt(b, pos, end, recordLimit, header, document.records);
            return scanned;
        },
        verifier);
    if (!envelope)
        return std::unexpected(ZmdError::notZmd());
    const auto peek = envelope->peekHeader();
    if (!peek.format) {
        if (peek.reachedEnd)
            return std::unexpected(ZmdError::notZmd());
    } else if (peek.format->kind != Kind::string || peek.format->text != ZmdFile::formatMagic) {
        return std::unexpected(ZmdError::notZmd());
    }
    if (peek.formatVersion && peek.formatVersion->kind == Kind::integer && peek.formatVersion->integer >= 2)
        return std::unexpected(ZmdError::unsupportedVersion(peek.formatVersion->integer));
    if (!(verified ? *verified : envelope->verify(verifier)))
        return std::unexpected(ZmdError::tampered());
    if (!scanned)
        return std::unexpected(ZmdError::notZmd());
    if (header.declaredRecordCount != static_cast<std::int64_t>(header.actualRecordCount))
        return std::unexpected(ZmdError::tampered());
    if (header.model != expectedModel)
        return std::unexpected(ZmdError::modelMismatch(header.model));
    if (header.overLimit)
        return std::unexpected(ZmdError::notZmd());
    document.model = std::move(header.model);
    document.software = std::move(header.software);
    document.savedAt = header.savedAt;
    document.deletedCount = header.deletedCount;
    return document;
}

template <typename Document>
std::expected<Document, ZmdError> openDocument(
    const std::filesystem::path& path, std::string_view expectedModel, const ZmdVerifier& verifier)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::unexpected(ZmdError::io(ec.message()));
    if (size > static_cast<std::uintmax_t>(ZmdFile::largestFile))
        return std::unexpected(ZmdError::notZmd());
    auto bytes = readWholeFile(path);
    if (!bytes)
        return std::unexpected(ZmdError::io(bytes.error().detail));
    return decodeDocument<Document>(
        std::move(*bytes), expectedModel, verifier, ZmdFile::largestFile, ZmdFile::mostRecords);
}

} // namespace

std::string ZmdError::description() const
{
    switch (kind) {
    case Kind::unsupportedVersion:
        return "ZmdError.unsupportedVersion(" + std::to_string(version) + ")";
    case Kind::modelMismatch:
        return "ZmdError.modelMismatch(" + text + ")";
    case Kind::io:
        return "ZmdError.io(" + text + ")";
    case Kind::notZmd:
        return "ZmdError.notZmd";
    case Kind::tampered:
        return "ZmdError.tampered";
    }
    return {};
}

std::string describe(const ZmdSaveError& error)
{
    if (const auto* zmd = std::get_if<ZmdError>(&error))
        return zmd->description();
    return std::get<CryptoError>(error).text();
}

std::optional<ZmdScanner::ParsedPayload> ZmdScanner::scan(std::string_view payload, std::size_t recordLimit)
{
    std::size_t pos = 0;
    auto parsed = scanAt(payload, pos, payload.size(), recordLimit);
    if (!parsed)
        return std::nullopt;
    skipSpace(payload, pos, payload.size());
    if (pos != payload.size())
        return std::nullopt;
    return parsed;
}

std::optional<ZmdScanner::ParsedPayload> ZmdScanner::scanAt(
    std::string_view b, std::size_t& pos, std::size_t end, std::size_t recordLimit)
{
    ParsedPayload out;
    if (!scanPayloadAt(b, pos, end, recordLimit, out, out.records))
        return std::nullopt;
    return out;
}

namespace ZmdFile {

std::expected<std::string, ZmdSaveError> encode(
    const ZmdDocument& document, const ZmdSigner& signer, std::int64_t byteLimit)
{
    return encodeDocument(document, signer, byteLimit);
}

std::expected<std::string, ZmdSaveError> encodeReadings(
    const ZmdReadings& document, const ZmdSigner& signer, std::int64_t byteLimit)
{
    return encodeDocument(document, signer, byteLimit);
}

std::expected<void, ZmdSaveError> save(
    const ZmdDocument& document, const std::filesystem::path& destination, const ZmdSigner& signer)
{
    return saveDocument(document, destination, signer);
}

std::expected<void, ZmdSaveError> saveReadings(
    const ZmdReadings& document, const std::filesystem::path& destination, const ZmdSigner& signer)
{
    return saveDocument(document, destination, signer);
}

std::expected<ZmdDocument, ZmdError> decode(std::string bytes, std::string_view expectedModel,
    const ZmdVerifier& verifier, std::int64_t byteLimit, std::size_t recordLimit)
{
    return decodeDocument<ZmdDocument>(std::move(bytes), expectedModel, verifier, byteLimit, recordLimit);
}

std::expected<ZmdReadings, ZmdError> decodeReadings(std::string bytes, std::string_view expectedModel,
    const ZmdVerifier& verifier, std::int64_t byteLimit, std::size_t recordLimit)
{
    return decodeDocument<ZmdReadings>(std::move(bytes), expectedModel, verifier, byteLimit, recordLimit);
}

std::expected<ZmdDocument, ZmdError> open(
    const std::filesystem::path& path, std::string_view expectedModel, const ZmdVerifier& verifier)
{
    return openDocument<ZmdDocument>(path, expectedModel, verifier);
}

std::expected<ZmdReadings, ZmdError> openReadings(
    const std::filesystem::path& path, std::string_view expectedModel, const ZmdVerifier& verifier)
{
    return openDocument<ZmdReadings>(path, expectedModel, verifier);
}

} // namespace ZmdFile

} // namespace zelmar
