#pragma once

// Reading: one decoded measurement, the record that travels from the polling
// thread to the panel, the record store, the journal, files and exports. It
// is always built from plain stored fields, so value and unit are derived by
// the one constructor and never stored apart from the text they come from.

#include "core/dmm_function.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelmar {

class Reading {
public:
    // timestamp: seconds since 1970-01-01T00:00:00Z.
    Reading(double timestamp, std::uint8_t functionCode, int rangeIndex, std::string_view rawText, DmmFlags flags,
        int barGraph);

    [[nodiscard]] double timestamp() const noexcept { return timestamp_; }
    [[nodiscard]] DmmFunction function() const noexcept { return function_; }
    [[nodiscard]] int rangeIndex() const noexcept { return rangeIndex_; }
    // The display text trimmed of horizontal whitespace.
    [[nodiscard]] const std::string& text() const noexcept { return text_; }
    // None for overload, blank or unparsable text.
    [[nodiscard]] std::optional<double> value() const noexcept { return value_; }
    // Empty when the function and range have no unit.
    [[nodiscard]] const std::string& unit() const noexcept { return unit_; }
    [[nodiscard]] const DmmFlags& flags() const noexcept { return flags_; }
    [[nodiscard]] int barGraph() const noexcept { return barGraph_; }

    friend bool operator==(const Reading&, const Reading&) = default;

private:
    double timestamp_;
    DmmFunction function_;
    int rangeIndex_;
    std::string text_;
    std::optional<double> value_;
    std::string unit_;
    DmmFlags flags_;
    int barGraph_;
};

} // namespace zelmar
