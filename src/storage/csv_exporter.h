#pragma once

// CSV for spreadsheets: UTF-8 with a byte-order mark, comma-separated, CR LF
// after every line (the last included). A field holding a comma, a quotation
// mark, CR or LF is quoted with its quotation marks doubled; any other field
// is written as it is. The file is replaced atomically: nothing is ever
// written partially.

#include "storage/storage_error.h"

#include <expected>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::CsvExporter {

using Row = std::vector<std::string>;

[[nodiscard]] std::string encode(const Row& header, const std::vector<Row>& rows);
// One line with its CR LF, quoted as above (for streams, which have no BOM).
void appendLine(std::string& out, const Row& fields);
void appendLine(std::string& out, std::initializer_list<std::string_view> fields);
// The byte-order mark the document starts with.
inline constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

[[nodiscard]] std::expected<void, StorageError> exportFile(
    const Row& header, const std::vector<Row>& rows, const std::filesystem::path& destination);

} // namespace zelmar::CsvExporter
