#include "core/reading.h"
#include "core/text_encoding.h"
#include "core/units.h"

namespace zelmar {

Reading::Reading(
    double timestamp, std::uint8_t functionCode, int rangeIndex, std::string_view rawText, DmmFlags flags, int barGraph)
    : timestamp_(timestamp)
    , function_(functionCode)
    , rangeIndex_(rangeIndex)
    , text_(text::trimHorizontalSpace(rawText))
    , value_(DMMValueParser::parse(rawText))
    , unit_(DMMUnitTable::unit(functionCode, rangeIndex).value_or(""))
    , flags_(flags)
    , barGraph_(barGraph)
{
}

} // namespace zelmar
