// Randomized robustness test of every decoder of meter input. Each input is
// held in a heap buffer of exactly its length, so a read past the end is
// caught by AddressSanitizer in the sanitizer build.

#include "meter/meter_responses.h"
#include "meter/protocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace zelmar {
namespace {

std::uint32_t seedFromEnvironment()
{
    const char* text = std::getenv("ZELMAR_FUZZ_SEED");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 51740u;
}

std::size_t iterations()
{
    const char* text = std::getenv("ZELMAR_FUZZ_ITERATIONS");
    return text != nullptr ? std::strtoul(text, nullptr, 10) : 1'000'000;
}

// Runs every decoder; checks the properties that must hold for any input.
void exercise(const Bytes& input)
{
    const ByteView report(input);
    if (auto frame = DMMProtocol::decodeDisplay(report)) {
        ASSERT_EQ(frame->displayText.size(), 7u);
        ASSERT_GE(frame->rangeIndex, 0);
        ASSERT_LE(frame->rangeIndex, 9);
        ASSERT_LE(frame->barGraph, 255 * 10 + 255);
        // An accepted report always carries readable text too.
        ASSERT_EQ(DMMProtocol::displayText(report), frame->displayText);
        if (frame->barGraph < 100) {
            const Bytes again = MeterResponses::displayReport(*frame);
            ASSERT_EQ(DMMProtocol::decodeDisplay(again), frame);
        }
    }
    if (auto model = DMMProtocol::parseModel(report)) {
        ASSERT_FALSE(model->empty());
        ASSERT_NE(model->front(), ' ');
        ASSERT_NE(model->back(), ' ');
        ASSERT_LE(model->size(), 64u);
    }
    (void)DMMProtocol::isAcknowledge(report);
    (void)DMMProtocol::displayText(report);
}

Bytes randomBytes(std::mt19937& rng, std::size_t length)
{
    Bytes bytes(length);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

// Valid reports of every kind, to mutate from.
std::vector<Bytes> seeds()
{
    std::vector<Bytes> seeds;
    DMMDisplayFrame frame { 2, 1, " 12.345", 42, {} };
    seeds.push_back(MeterResponses::displayReport(frame));
    frame.displayText = "  -OL  ";
    frame.flags.hold = frame.flags.acFlag = true;
    seeds.push_back(MeterResponses::displayReport(frame));
    seeds.push_back(MeterResponses::modelReport("DMM-5174K"));
    seeds.push_back(MeterResponses::modelReport(std::string(64, 'Z')));
    seeds.push_back(MeterResponses::acknowledgeReport());
    return seeds;
}

TEST(ProtocolFuzz, RandomReportsNeverCrashOrOverread)
{
    std::mt19937 rng(seedFromEnvironment());
    const std::size_t n = iterations();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t length = rng() % 80;
        Bytes input = randomBytes(rng, length);
        // Give half of the inputs the response marker so deeper checks run.
        if (length >= 4 && (i & 1) != 0) {
            input[2] = 0xAB;
            input[3] = 0xCD;
        }
        exercise(input);
        if (HasFatalFailure())
            FAIL() << "input #" << i;
    }
}

TEST(ProtocolFuzz, MutatedValidReportsNeverCrashOrOverread)
{
    std::mt19937 rng(seedFromEnvironment() + 1);
    const std::vector<Bytes> valid = seeds();
    const std::size_t n = iterations();
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < n; ++i) {
        Bytes input = valid[i % valid.size()];
        switch (rng() % 4) {
        case 0: // flip a few bytes
            for (unsigned k = 0, flips = 1 + rng() % 3; k < flips && !input.empty(); ++k)
                input[rng() % input.size()] = static_cast<std::uint8_t>(rng());
            break;
        case 1: // truncate
            input.resize(rng() % (input.size() + 1));
            break;
        case 2: // extend with noise
            for (unsigned k = 0, extra = rng() % 50; k < extra; ++k)
                input.push_back(static_cast<std::uint8_t>(rng()));
            break;
        default: // set the model length byte to anything
            if (input.size() > 4)
                input[4] = static_cast<std::uint8_t>(rng());
            break;
        }
        input.shrink_to_fit();
        exercise(input);
        if (HasFatalFailure())
            FAIL() << "input #" << i;
        accepted += DMMProtocol::decodeDisplay(input).has_value() || DMMProtocol::parseModel(input).has_value();
    }
    // Truncations and extensions keep many inputs valid: the test really
    // reaches the decoding paths, not only the early refusals.
    EXPECT_GT(accepted, n / 10);
}

} // namespace
} // namespace zelmar
