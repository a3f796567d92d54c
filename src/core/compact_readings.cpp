#include "core/compact_readings.h"

#include "core/text_encoding.h"

#include <algorithm>
#include <cstring>

namespace zelmar {

namespace {

std::uint16_t packFlags(const DmmFlags& f) noexcept
{
    const bool bits[] = { f.rel, f.hold, f.min, f.max, f.apo, f.manualRange, f.lowBattery, f.hvWarning, f.acFlag,
        f.peakMax, f.peakMin, f.barNegative };
    std::uint16_t packed = 0;
    for (std::size_t i = 0; i < std::size(bits); ++i)
        packed |= static_cast<std::uint16_t>(bits[i] ? 1u << i : 0u);
    return packed;
}

DmmFlags unpackFlags(std::uint16_t p) noexcept
{
    const auto bit = [p](int i) { return (p >> i & 1u) != 0; };
    return { bit(0), bit(1), bit(2), bit(3), bit(4), bit(5), bit(6), bit(7), bit(8), bit(9), bit(10), bit(11) };
}

bool fitsByte(int v) noexcept
{
    return v >= INT8_MIN && v <= INT8_MAX;
}

} // namespace

CompactReadings::CompactReadings(std::span<const Reading> readings)
{
    entries_.reserve(readings.size());
    for (const Reading& r : readings)
        push_back(r);
}

void CompactReadings::push_back(const Reading& reading)
{
    Entry e {};
    e.t = reading.timestamp();
    e.flags = packFlags(reading.flags());
    e.function = reading.function().code();
    const std::string& text = reading.text();
    if (text.size() <= sizeof e.text && fitsByte(reading.rangeIndex()) && fitsByte(reading.barGraph())) {
        e.range = static_cast<std::int8_t>(reading.rangeIndex());
        e.bar = static_cast<std::int8_t>(reading.barGraph());
        e.length = static_cast<std::uint8_t>(text.size());
        std::memcpy(e.text, text.data(), text.size());
        entries_.push_back(e);
    } else {
        pushAside(e, reading);
    }
}

void CompactReadings::pushAside(Entry& e, Reading reading)
{
    e.length = asideMarker;
    const auto index = static_cast<std::uint32_t>(aside_.size());
    std::memcpy(e.text, &index, sizeof index);
    aside_.push_back(std::move(reading));
    entries_.push_back(e);
}

void CompactReadings::appendRecord(double t, std::uint8_t function, std::int64_t range, std::string_view rawText)
{
    Entry e {};
    e.t = t;
    e.function = function;
    const std::string_view text = text::trimHorizontalSpace(rawText);
    if (text.size() <= sizeof e.text && range >= INT8_MIN && range <= INT8_MAX) {
        e.range = static_cast<std::int8_t>(range);
        e.length = static_cast<std::uint8_t>(text.size());
        std::memcpy(e.text, text.data(), text.size());
        entries_.push_back(e);
    } else {
        pushAside(e, Reading(t, function, clampedRange(range), rawText, DmmFlags {}, 0));
    }
}

CompactReadings::Record CompactReadings::record(std::size_t index) const noexcept
{
    const Entry& e = entries_[index];
    if (e.length == asideMarker) {
        std::uint32_t aside = 0;
        std::memcpy(&aside, e.text, sizeof aside);
        const Reading& r = aside_[aside];
        return { r.timestamp(), r.function().code(), r.rangeIndex(), r.text() };
    }
    return { e.t, e.function, e.range, std::string_view(e.text, e.length) };
}

Reading CompactReadings::operator[](std::size_t index) const
{
    const Entry& e = entries_[index];
    if (e.length == asideMarker) {
        std::uint32_t aside = 0;
        std::memcpy(&aside, e.text, sizeof aside);
        return aside_[aside];
    }
    // The text is stored trimmed: trimming it again and reading its value
    // give what they gave the first time.
    return Reading(e.t, e.function, e.range, std::string_view(e.text, e.length), unpackFlags(e.flags), e.bar);
}

void CompactReadings::clear() noexcept
{
    entries_.clear();
    aside_.clear();
}

void CompactReadings::removeMarked(const std::vector<bool>& marked)
{
    std::vector<Reading> aside;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i < marked.size() && marked[i])
            continue;
        Entry e = entries_[i];
        if (e.length == asideMarker) {
            std::uint32_t from = 0;
            std::memcpy(&from, e.text, sizeof from);
            const auto to = static_cast<std::uint32_t>(aside.size());
            aside.push_back(std::move(aside_[from]));
            std::memcpy(e.text, &to, sizeof to);
        }
        entries_[kept++] = e;
    }
    entries_.resize(kept);
    aside_ = std::move(aside);
}

std::size_t CompactReadings::bytes() const noexcept
{
    std::size_t total = entries_.capacity() * sizeof(Entry) + aside_.capacity() * sizeof(Reading);
    for (const Reading& r : aside_)
        total += r.text().capacity() + r.unit().capacity();
    return total;
}

} // namespace zelmar
