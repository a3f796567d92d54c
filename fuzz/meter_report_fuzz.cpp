// The meter's input reports and display texts: a report that decodes, as
// far as the simulator's encoder can write it, is written back and decodes
// to the same frame; its reading has a finite value or none.

#include "fuzz_target.h"

#include "core/reading.h"
#include "core/units.h"
#include "meter/meter_responses.h"
#include "meter/protocol.h"

#include <cmath>

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto report = fuzz::bytes(data, size);
    (void)DMMProtocol::checkDisplay(report);
    (void)DMMProtocol::parseModel(report);
    (void)DMMProtocol::isAcknowledge(report);
    if (const auto frame = DMMProtocol::decodeDisplay(report)) {
        // The simulator's encoder writes a range digit and a bar graph of
        // tens and units; what it can write, the decoder reads back.
        if (frame->rangeIndex >= 0 && frame->rangeIndex <= 9 && report[15] <= 9) {
            const Bytes again = MeterResponses::displayReport(*frame);
            const auto back = DMMProtocol::decodeDisplay(again);
            FUZZ_CHECK(back.has_value() && *back == *frame);
        }
        const Reading reading(0, frame->functionCode, frame->rangeIndex, frame->displayText, {}, frame->barGraph);
        FUZZ_CHECK(!reading.value() || std::isfinite(*reading.value()));
    }
    const auto value = DMMValueParser::parse(fuzz::text(data, size));
    FUZZ_CHECK(!value || std::isfinite(*value));
    return 0;
}
