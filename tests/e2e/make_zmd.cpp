// Writes a signed measurement file for the end-to-end runs and benchmarks:
//   make_zmd OUT.zmd MODEL COUNT
// COUNT readings of a slow sine in volts, one per second, signed with the
// program's own key, so only the model or the count differ from a real file.

#include "security/signature_service.h"
#include "storage/journal_record.h"
#include "storage/zmd_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    using namespace zelmar;
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_zmd OUT.zmd MODEL COUNT\n");
        return 2;
    }
    const long count = std::strtol(argv[3], nullptr, 10);
    if (count < 0 || count > 600'000) {
        std::fprintf(stderr, "COUNT must be 0 to 600000\n");
        return 2;
    }
    ZmdDocument document { argv[2], "ZELMAR DMM-5174K test fixture", 1.7e9 + static_cast<double>(count), 0, {} };
    document.records.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", 5.0 + 2.0 * std::sin(static_cast<double>(i) / 900.0));
        document.records.push_back(JournalRecord::from(Reading(1.7e9 + static_cast<double>(i), 2, 1, text, {}, 0)));
    }
    if (auto saved = ZmdFile::save(document, argv[1], ZmdSignatureService::shared()); !saved) {
        std::fprintf(stderr, "make_zmd: %s\n", describe(saved.error()).c_str());
        return 1;
    }
    return 0;
}
