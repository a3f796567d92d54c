#include "app/test_hooks.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zelmar {

namespace {

const std::string* find(const Environment& environment, const char* name)
{
    const auto it = environment.find(name);
    return it == environment.end() ? nullptr : &it->second;
}

std::optional<std::string> nonEmpty(const Environment& environment, const char* name)
{
    const std::string* value = find(environment, name);
    if (value == nullptr || value->empty())
        return std::nullopt;
    return *value;
}

std::string lower(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Decimal digits only, fitting in 32 bits.
std::optional<std::uint32_t> unsigned32(const std::string* value)
{
    if (value == nullptr || value->empty() || !std::ranges::all_of(*value, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint32_t n = 0;
    const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), n);
    if (error != std::errc() || end != value->data() + value->size())
        return std::nullopt;
    return n;
}

// An optional "+" or "-" and decimal digits, nothing else.
std::optional<long long> wholeNumber(const std::string* value)
{
    if (value == nullptr)
        return std::nullopt;
    std::string_view text = *value;
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long n = 0;
    for (char c : text)
        n = std::min(n * 10 + (c - '0'), 1'000'000'000'000LL); // saturates; the window clamps
    return negative ? -n : n;
}

} // namespace

TestHooks TestHooks::read(const Environment& environment)
{
    TestHooks hooks;
    hooks.dataDirectory = nonEmpty(environment, "ZELMAR_TEST_DATA_DIR");
    if (const std::string* v = find(environment, "ZELMAR_TEST_AUTORECORD"))
        hooks.autoRecord = *v == "1";
    hooks.intervalOverride = wholeNumber(find(environment, "ZELMAR_TEST_INTERVAL"));
    if (const std::string* v = find(environment, "ZELMAR_TEST_RECOVERY")) {
        if (*v == "restore")
            hooks.recoveryAnswer = RecoveryAnswer::restore;
        else if (*v == "discard")
            hooks.recoveryAnswer = RecoveryAnswer::discard;
    }
    hooks.autoCloseMs = unsigned32(find(environment, "ZELMAR_TEST_AUTOCLOSE_MS"));
    hooks.slowCloseMs = unsigned32(find(environment, "ZELMAR_TEST_SLOW_CLOSE_MS"));
    hooks.autoSavePath = nonEmpty(environment, "ZELMAR_TEST_AUTOSAVE");
    hooks.openPath = nonEmpty(environment, "ZELMAR_TEST_OPEN_PATH");
    hooks.snapshotPath = nonEmpty(environment, "ZELMAR_TEST_SHOT");
    hooks.snapshotDelayMs = unsigned32(find(environment, "ZELMAR_TEST_SHOT_DELAY_MS")).value_or(4000);
    if (auto menu = nonEmpty(environment, "ZELMAR_TEST_SHOT_MENU"))
        hooks.snapshotMenu = lower(*menu);
    if (const std::string* v = find(environment, "ZELMAR_TEST_UPDATE")) {
        const std::string mode = lower(*v);
        if (mode == "check")
            hooks.updateMode = UpdateMode::check;
        else if (mode == "install")
            hooks.updateMode = UpdateMode::install;
    }
    return hooks;
}

bool TestHooks::anyActive() const noexcept
{
    return dataDirectory || autoRecord || intervalOverride || recoveryAnswer || autoCloseMs || autoSavePath || openPath
        || snapshotPath || updateMode || slowCloseMs;
}

std::string_view recoveryAnswerText(RecoveryAnswer answer) noexcept
{
    return answer == RecoveryAnswer::restore ? "restore" : "discard";
}

} // namespace zelmar
