#pragma once

// Keeps two writers off one journal: the GUI and the command-line logger
// never record into the same data directory at once. On Windows this is the
// program's single-instance mutex; on Linux an exclusive lock on a file in
// the data directory. The lock is held for the owner's lifetime.

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
