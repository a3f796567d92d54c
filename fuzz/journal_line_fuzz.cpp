// Journal lines: the fast parser never accepts what the general decoder
// reads otherwise (bit for bit), what either reads is written back and read
// again unchanged, and a whole journal replays without harm.

#include "fuzz_target.h"

#include "storage/journal.h"

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = fuzz::text(data, size);
    const auto fast = parseJournalLineFast(input);
    const auto general = parseJournalLineGeneral(input);
    if (fast) {
        FUZZ_CHECK(general.has_value());
        FUZZ_CHECK(fuzz::identical(*fast, *general));
    }
    // Without values (the store's reader) the same lines pass, with the same
    // fields but the value.
    JournalFields withoutValue;
    const bool taken = JournalLineReader(false).fast(input, withoutValue);
    FUZZ_CHECK(taken == fast.has_value());
    if (taken) {
        FUZZ_CHECK(withoutValue.t == fast->t && withoutValue.f == fast->f && withoutValue.r == fast->r);
        FUZZ_CHECK(withoutValue.x == fast->x && withoutValue.u == fast->u && withoutValue.v.has_value() == fast->v.has_value());
    }
    const auto either = parseJournalLine(input);
    FUZZ_CHECK(either.has_value() == (fast.has_value() || general.has_value()));
    if (either) {
        // What the writer makes of a record, the reader reads back.
        for (const int offset : { 0, 8 * 3600, -(9 * 3600 + 30 * 60) }) {
            std::string line;
            if (appendCanonicalLine(line, *either, offset)) {
                const auto back = parseJournalLine(line);
                FUZZ_CHECK(back.has_value());
                FUZZ_CHECK(fuzz::identical(*back, *either));
            } else if (const auto written = generalLine(*either, offset)) {
                const auto back = parseJournalLine(*written);
                FUZZ_CHECK(back.has_value());
                FUZZ_CHECK(fuzz::identical(*back, *either));
            }
        }
    }
    (void)JournalReplayer::replayBytes(input);
    return 0;
}
