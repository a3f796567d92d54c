#pragma once

// Keeps two writers off one journal: the window program and the
// command-line logger never record into the same data directory at once. An
// exclusive lock on the first byte of "dmm5174k.lock" in the data
// directory, held for the owner's lifetime: a byte-range lock on Windows, an
// open-file-description lock on Linux; under Wine the two see each other.

#include <expected>
#include <filesystem>
#include <memory>
#include <string>

namespace zelmar {

class InstanceLock {
public:
    ~InstanceLock();
    InstanceLock(InstanceLock&&) noexcept;
    InstanceLock& operator=(InstanceLock&&) noexcept;

    // Fails with a description when another writer holds the lock.
    [[nodiscard]] static std::expected<InstanceLock, std::string> acquire(const std::filesystem::path& dataDirectory);

private:
    InstanceLock() = default;
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

} // namespace zelmar
