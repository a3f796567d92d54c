#include "storage/csv_exporter.h"
#include "storage/file_io.h"

namespace zelmar::CsvExporter {

namespace {

void appendField(std::string& out, const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

void appendLine(std::string& out, const Row& fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendField(out, fields[i]);
    }
    out += "\r\n";
}

std::string encode(const Row& header, const std::vector<Row>& rows)
{
    std::string text = "\xEF\xBB\xBF";
    text.reserve(3 + rows.size() * 48);
    appendLine(text, header);
    for (const Row& row : rows)
        appendLine(text, row);
    return text;
}

std::expected<void, StorageError> exportFile(
    const Row& header, const std::vector<Row>& rows, const std::filesystem::path& destination)
{
    return writeFileAtomically(destination, encode(header, rows));
}

} // namespace zelmar::CsvExporter
