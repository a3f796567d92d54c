#pragma once

// The measurement file (.zmd): the signed envelope around this payload
// (UTF-8, LF line breaks), byte for byte:
//
//   {"format":"ZELMAR-ZMD","formatVersion":1,
//   "model":"DMM-5174K",
//   "software":"ZELMAR DMM-5174K 1.0.0",
//   "savedAt":"2024-05-01T13:45:12+08:00",
//   "recordCount":2,
//   "deletedCount":0,
//   "records":[
//   {"t":"2024-05-01T13:45:10+08:00","f":2,"r":1,"x":"12.345","v":12.345,"u":"V"},
//   {"t":"2024-05-01T13:45:11+08:00","f":6,"r":4,"x":"OL","u":"MΩ"}
//   ]}
//
// Records are canonical journal lines (journal_record.h) without their LF;
// every timestamp of one file uses the UTC offset read once at the save.
// Opening checks, in order: size, envelope layout, header peek (a newer
// format version is refused before the signature), signature, full scan,
// record count, model, record limit.

#include "security/signature_service.h"
#include "storage/journal_record.h"

#include <expected>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace zelmar {

struct ZmdDocument {
    std::string model;
    std::string software;
    double savedAt = 0;
    std::int64_t deletedCount = 0;
    std::vector<JournalRecord> records;
};

// The same contents as the program keeps them: each record as its reading
// (value and unit worked out from text, function and range, as a reading
// made from the record has them).
struct ZmdReadings {
    std::string model;
    std::string software;
    double savedAt = 0;
    std::int64_t deletedCount = 0;
    CompactReadings records;
};

struct ZmdError {
    enum class Kind { unsupportedVersion, modelMismatch, io, notZmd, tampered };

    Kind kind = Kind::notZmd;
    std::int64_t version = 0; // unsupportedVersion
    std::string text; // modelMismatch: the file's model; io: the detail

    static ZmdError unsupportedVersion(std::int64_t v) { return { Kind::unsupportedVersion, v, {} }; }
    static ZmdError modelMismatch(std::string model) { return { Kind::modelMismatch, 0, std::move(model) }; }
    static ZmdError io(std::string detail) { return { Kind::io, 0, std::move(detail) }; }
    static ZmdError notZmd() { return { Kind::notZmd, 0, {} }; }
    static ZmdError tampered() { return { Kind::tampered, 0, {} }; }

    // "ZmdError.tampered", "ZmdError.io(...)" and so on (for logs).
    [[nodiscard]] std::string description() const;
    friend bool operator==(const ZmdError&, const ZmdError&) = default;
};

// Saving fails with a file error or with the signer's error.
using ZmdSaveError = std::variant<ZmdError, CryptoError>;
[[nodiscard]] std::string describe(const ZmdSaveError& error);

namespace ZmdFile {

inline constexpr std::string_view formatMagic = "ZELMAR-ZMD";
inline constexpr std::int64_t formatVersion = 1;
inline constexpr std::string_view fileExtension = "zmd";
inline constexpr std::int64_t largestFile = 104'857'600;
inline constexpr std::size_t mostRecords = 600'000;

[[nodiscard]] std::expected<std::string, ZmdSaveError> encode(
    const ZmdDocument& document, const ZmdSigner& signer, std::int64_t byteLimit = largestFile);
[[nodiscard]] std::expected<std::string, ZmdSaveError> encodeReadings(
    const ZmdReadings& document, const ZmdSigner& signer, std::int64_t byteLimit = largestFile);
[[nodiscard]] std::expected<void, ZmdSaveError> save(
    const ZmdDocument& document, const std::filesystem::path& destination, const ZmdSigner& signer);
[[nodiscard]] std::expected<void, ZmdSaveError> saveReadings(
    const ZmdReadings& document, const std::filesystem::path& destination, const ZmdSigner& signer);

[[nodiscard]] std::expected<ZmdDocument, ZmdError> decode(std::string bytes, std::string_view expectedModel,
    const ZmdVerifier& verifier, std::int64_t byteLimit = largestFile, std::size_t recordLimit = mostRecords);
[[nodiscard]] std::expected<ZmdDocument, ZmdError> open(
    const std::filesystem::path& path, std::string_view expectedModel, const ZmdVerifier& verifier);
// The same checks in the same order, each record read straight into the
// compact store.
[[nodiscard]] std::expected<ZmdReadings, ZmdError> decodeReadings(std::string bytes,
    std::string_view expectedModel, const ZmdVerifier& verifier, std::int64_t byteLimit = largestFile,
    std::size_t recordLimit = mostRecords);
[[nodiscard]] std::expected<ZmdReadings, ZmdError> openReadings(
    const std::filesystem::path& path, std::string_view expectedModel, const ZmdVerifier& verifier);

} // namespace ZmdFile

// One pass over a payload's bytes.
struct ZmdScanner {
    struct Header {
        std::string model;
        std::string software;
        double savedAt = 0;
        std::int64_t deletedCount = 0;
        std::int64_t declaredRecordCount = 0;
        std::size_t actualRecordCount = 0;
        bool overLimit = false;
    };
    struct ParsedPayload : Header {
        std::vector<JournalRecord> records;
    };
    [[nodiscard]] static std::optional<ParsedPayload> scan(std::string_view payload, std::size_t recordLimit);
    // The payload object starting at pos, read up to its closing brace
    // (pos is left just after it); what follows is the caller's.
    [[nodiscard]] static std::optional<ParsedPayload> scanAt(
        std::string_view document, std::size_t& pos, std::size_t end, std::size_t recordLimit);
};

} // namespace zelmar
