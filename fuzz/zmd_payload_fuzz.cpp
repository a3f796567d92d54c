// The .zmd payload scanner against the JSON decoder: whatever the scanner
// accepts is one valid JSON object whose records array has the counted
// elements, each read by the general record decoder to the same bits.

#include "fuzz_target.h"

#include "storage/json_document.h"
#include "storage/zmd_file.h"

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view payload = fuzz::text(data, size);
    const auto scanned = ZmdScanner::scan(payload, 1000);
    if (!scanned || scanned->overLimit)
        return 0;
    const auto json = parseJsonDocument(payload);
    FUZZ_CHECK(!json.is_discarded() && json.is_object());
    const auto records = json.find("records");
    FUZZ_CHECK(records != json.end() && records->is_array());
    FUZZ_CHECK(records->size() == scanned->actualRecordCount);
    FUZZ_CHECK(scanned->records.size() == scanned->actualRecordCount);
    for (std::size_t i = 0; i < scanned->records.size(); ++i) {
        const auto general = parseJournalLineGeneral((*records)[i].dump());
        FUZZ_CHECK(general.has_value());
        FUZZ_CHECK(fuzz::identical(*general, scanned->records[i]));
    }
    return 0;
}
