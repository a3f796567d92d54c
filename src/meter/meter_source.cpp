#include "meter/meter_source.h"
#include "meter/simulator.h"

namespace zelmar {

std::expected<std::unique_ptr<DMMDevicePort>, std::string> makeMeterPort(std::string_view selection)
{
    if (selection.empty())
        return std::make_unique<HIDDevicePort>();
    SimScenario scenario = SimScenario::steadyDc;
    if (selection.starts_with("sim:")) {
        auto parsed = parseSimScenario(selection.substr(4));
        if (!parsed)
            return std::unexpected(parsed.error());
        scenario = *parsed;
    } else if (selection != "sim") {
        return std::unexpected(
            "unknown meter selection \"" + std::string(selection) + "\" (use sim or sim:<scenario>)");
    }
    return std::make_unique<HIDDevicePort>(std::make_unique<MeterSimulator>(scenario));
}

} // namespace zelmar
