#pragma once

// What every fuzz target shares: its entry point, the input as text, and a
// check that stops the run with a message when an invariant breaks (the
// fuzzer then keeps the input that broke it).

#include "storage/journal_record.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace zelmar::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size)
{
    return { reinterpret_cast<const char*>(data), size };
}

inline std::span<const std::uint8_t> bytes(const std::uint8_t* data, std::size_t size)
{
    return { data, size };
}

[[noreturn]] inline void broken(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "fuzz invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

// Two records with the same bits in every field (0.0 and -0.0 differ).
inline bool identical(const JournalRecord& a, const JournalRecord& b)
{
    const auto same = [](double x, double y) { return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y); };
    return same(a.t, b.t) && a.f == b.f && a.r == b.r && a.x == b.x && a.u == b.u && a.v.has_value() == b.v.has_value()
        && (!a.v || same(*a.v, *b.v));
}

} // namespace zelmar::fuzz

#define FUZZ_CHECK(condition)                                                                                         \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::zelmar::fuzz::broken(#condition, __FILE__, __LINE__);                                                    \
    } while (false)
