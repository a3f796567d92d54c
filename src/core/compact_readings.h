#pragma once

// The records of a data set as they are kept in memory: each reading as
// what its constructor is given (time, function, range, the trimmed display
// text, flags, bar graph) in 32 bytes, the text inline up to 18 bytes. A
// reading that does not fit (a longer text, a range or bar graph beyond a
// byte) is kept whole aside; the meter's own never need that. Readings are
// made again on demand, equal to the ones stored.

#include "core/reading.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace zelmar {

class CompactReadings {
public:
    struct Entry {
        double t;
        std::uint16_t flags;
        std::uint8_t function;
        std::int8_t range;
        std::int8_t bar;
        std::uint8_t length; // of the inline text; asideMarker: kept aside
        char text[18];
    };
    static constexpr std::uint8_t asideMarker = 0xFF;

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Reading;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Reading;

        const_iterator(const CompactReadings* owner, std::size_t at)
            : owner_(owner)
            , at_(at)
        {
        }
        Reading operator*() const { return (*owner_)[at_]; }
        const_iterator& operator++()
        {
            ++at_;
            return *this;
        }
        friend bool operator==(const const_iterator&, const const_iterator&) = default;

    private:
        const CompactReadings* owner_;
        std::size_t at_;
    };

    // One stored record as files, exports and charts read it, without
    // making a Reading (no allocation, no value parsed): what a reading made
    // from it would give as timestamp, function code, range and text. Valid
    // until the store changes.
    struct Record {
        double t;
        std::uint8_t function;
        int range;
        std::string_view text;
    };

    CompactReadings() = default;
    explicit CompactReadings(std::span<const Reading> readings);

    void push_back(const Reading& reading);
    // Stores what Reading(t, function, range, rawText, {}, 0) would be (a
    // record read from a journal or file: no flags, no bar graph) without
    // making it. Ranges beyond int keep their sign at int's bounds.
    void appendRecord(double t, std::uint8_t function, std::int64_t range, std::string_view rawText);
    [[nodiscard]] Reading operator[](std::size_t index) const;
    [[nodiscard]] Record record(std::size_t index) const noexcept;
    [[nodiscard]] static int clampedRange(std::int64_t range) noexcept
    {
        return range > INT32_MAX ? INT32_MAX : (range < INT32_MIN ? INT32_MIN : static_cast<int>(range));
    }
    [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
    [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }
    void clear() noexcept;
    void reserve(std::size_t count) { entries_.reserve(count); }
    // Keeps the entries not marked, in their order.
    void removeMarked(const std::vector<bool>& marked);
    [[nodiscard]] const_iterator begin() const { return { this, 0 }; }
    [[nodiscard]] const_iterator end() const { return { this, entries_.size() }; }
    // The memory the records hold.
    [[nodiscard]] std::size_t bytes() const noexcept;
    // How many are kept aside (for tests).
    [[nodiscard]] std::size_t asideCount() const noexcept { return aside_.size(); }

private:
    void pushAside(Entry& entry, Reading reading);

    std::vector<Entry> entries_;
    std::vector<Reading> aside_;
};

static_assert(sizeof(CompactReadings::Entry) == 32, "a stored reading stays 32 bytes");

// What is worked out from a stored record's function, range and text alone
// (a file line's tail, a CSV row's fields, a value), kept for the next
// record with the same three: a recording repeats few of them, so going
// through 600,000 records works out a few thousand. Records with a wide
// range or a long text are never kept.
template <typename T> class RecordMemo {
public:
    RecordMemo()
        : slots_(slotCount)
    {
    }
    // What is kept for this record's function, range and text, or null.
    [[nodiscard]] const T* find(const CompactReadings::Record& record)
    {
        pending_ = nullptr;
        if (record.range < INT8_MIN || record.range > INT8_MAX || record.text.size() > sizeof(Slot::key))
            return nullptr;
        std::uint32_t hash = 2166136261u ^ record.function
            ^ static_cast<std::uint32_t>(static_cast<std::uint8_t>(record.range)) << 8;
        for (const char c : record.text)
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        Slot& slot = slots_[(hash ^ hash >> 15) % slotCount];
        if (slot.used && slot.function == record.function && slot.range == record.range
            && record.text == std::string_view(slot.key, slot.length))
            return &slot.value;
        pending_ = &slot;
        pendingRecord_ = record;
        return nullptr;
    }
    // Keeps value for the record last passed to find, in place of what
    // shared its slot; nothing when that record cannot be kept.
    template <typename V> void keep(V&& value)
    {
        if (pending_ == nullptr)
            return;
        Slot& slot = *pending_;
        slot.used = true;
        slot.function = pendingRecord_.function;
        slot.range = static_cast<std::int8_t>(pendingRecord_.range);
        slot.length = static_cast<std::uint8_t>(pendingRecord_.text.size());
        pendingRecord_.text.copy(slot.key, pendingRecord_.text.size());
        slot.value = std::forward<V>(value);
        pending_ = nullptr;
    }

private:
    static constexpr std::size_t slotCount = 4096;
    struct Slot {
        bool used = false;
        std::uint8_t function = 0;
        std::int8_t range = 0;
        std::uint8_t length = 0;
        char key[18];
        T value {};
    };
    std::vector<Slot> slots_;
    Slot* pending_ = nullptr;
    CompactReadings::Record pendingRecord_ {};
};

using RecordTextMemo = RecordMemo<std::string>;

} // namespace zelmar
