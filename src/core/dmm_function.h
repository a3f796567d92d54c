#pragma once

// The measurement model: what a meter display means. DmmFunction names the
// 31 functions selected by the meter's function code byte and keeps room for
// codes it does not know; DmmFlags are the twelve annunciators of a reading.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zelmar {

class DmmFunction {
public:
    // `unknown` comes first; code k in 0..30 is the (k+1)-th case.
    enum class Case : std::uint8_t {
        unknown,
        acv,
        acmV,
        dcv,
        dcmV,
        hz,
        dutyPercent,
        ohm,
        continuity,
        diode,
        capacitance,
        celsius,
        fahrenheit,
        dcMicroA,
        acMicroA,
        dcMilliA,
        acMilliA,
        dcA10,
        acA10,
        hfe,
        live,
        ncv,
        lozV,
        acAClamp,
        dcAClamp,
        lpfV,
        acDcV,
        lpfAMeter,
        acDcAMeter,
        lpfAClamp,
        acDcAClamp,
        inrush,
    };

    static constexpr std::uint8_t knownCodeCount = 31;

    // The case for a meter code: 0..30 a known function, anything else unknown(code).
    constexpr explicit DmmFunction(std::uint8_t code) noexcept
        : case_(code < knownCodeCount ? static_cast<Case>(code + 1) : Case::unknown)
        , code_(code)
    {
    }

    // unknown(code) for any byte, even one that names a known function.
    [[nodiscard]] static constexpr DmmFunction unknown(std::uint8_t code) noexcept
    {
        DmmFunction f(code);
        f.case_ = Case::unknown;
        return f;
    }

    [[nodiscard]] constexpr Case kind() const noexcept { return case_; }
    [[nodiscard]] constexpr std::uint8_t code() const noexcept { return code_; }
    [[nodiscard]] constexpr bool isUnknown() const noexcept { return case_ == Case::unknown; }

    [[nodiscard]] bool isAC() const noexcept { return inMask(0x3F62A003u); }
    [[nodiscard]] bool isDC() const noexcept { return inMask(0x2A81500Cu); }
    [[nodiscard]] bool isLPF() const noexcept { return inMask(0x15000000u); }
    [[nodiscard]] bool isDiode() const noexcept { return case_ == Case::diode; }
    [[nodiscard]] bool isContinuity() const noexcept { return case_ == Case::continuity; }

    friend constexpr bool operator==(DmmFunction, DmmFunction) noexcept = default;

private:
    [[nodiscard]] bool inMask(std::uint32_t mask) const noexcept { return !isUnknown() && ((mask >> code_) & 1u) != 0; }

    Case case_;
    std::uint8_t code_;
};

struct DmmFlags {
    bool rel = false;
    bool hold = false;
    bool min = false;
    bool max = false;
    bool apo = false;
    bool manualRange = false;
    bool lowBattery = false;
    bool hvWarning = false;
    bool acFlag = false;
    bool peakMax = false;
    bool peakMin = false;
    bool barNegative = false;

    friend bool operator==(const DmmFlags&, const DmmFlags&) = default;
};

} // namespace zelmar

template <> struct std::hash<zelmar::DmmFunction> {
    std::size_t operator()(zelmar::DmmFunction f) const noexcept
    {
        return (static_cast<std::size_t>(f.kind()) << 8) | f.code();
    }
};
