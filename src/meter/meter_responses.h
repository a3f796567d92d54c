#pragma once

// The meter's side of the protocol: input reports as a DMM-5174K sends them.
// The simulator answers with these, and tests build their reports with them,
// so both speak exactly the layout that the decoders expect.

#include "meter/protocol.h"

#include <string_view>

namespace zelmar::MeterResponses {

// A 21-byte display report (report ID and the spare byte zero) carrying the
// frame; the range becomes its ASCII digit, the bar graph its tens and units.
// The display text is padded or cut to seven characters.
[[nodiscard]] Bytes displayReport(const DMMDisplayFrame& frame);

// A model-string report: n = text length + 2, characters, big-endian sum.
[[nodiscard]] Bytes modelReport(std::string_view model);

// The fixed acknowledge report (nine bytes).
[[nodiscard]] Bytes acknowledgeReport();

// The three flag bytes for a set of flags (inverse of statusFlags).
struct FlagBytes {
    std::uint8_t a = 0, b = 0, c = 0;
};
[[nodiscard]] FlagBytes flagBytes(const DMMStatusFlags& flags) noexcept;

} // namespace zelmar::MeterResponses
