#pragma once

// The few file operations the storage layer needs, with one backend per
// platform (file_io_posix.cpp, file_io_win32.cpp):
// - AppendFile: a file kept open for appending, where every append is one
//   write call followed by a flush to disk, so a killed process leaves at
//   most one torn last line.
// - writeFileAtomically: write a temporary file beside the target, flush it
//   to disk, then rename it over the target in one step (on Linux the folder
//   is synced too), so a crash leaves the old or the new content, never none.

#include "storage/storage_error.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace zelmar {

class AppendFile {
public:
    AppendFile() noexcept = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens an existing file for writing at its end.
    [[nodiscard]] static std::expected<AppendFile, StorageError> open(const std::filesystem::path& path);

    [[nodiscard]] bool isOpen() const noexcept;
    // One write of all bytes, then a flush to disk (a failed flush is ignored).
    [[nodiscard]] std::expected<void, StorageError> append(std::string_view bytes);
    // Closes the handle; on error the handle stays as it was.
    [[nodiscard]] std::expected<void, StorageError> close();

private:
    std::intptr_t handle_ = -1;
    std::filesystem::path path_;
};

// Creates an empty file if none exists. False when the platform refuses.
[[nodiscard]] bool createFileIfMissing(const std::filesystem::path& path);

[[nodiscard]] std::expected<void, StorageError> writeFileAtomically(
    const std::filesystem::path& target, std::string_view bytes, const std::filesystem::path& temporary);

// The temporary name used beside a file: its name with ".tmp" appended.
[[nodiscard]] std::filesystem::path temporaryPathFor(const std::filesystem::path& path);

[[nodiscard]] std::expected<std::string, StorageError> readWholeFile(const std::filesystem::path& path);

[[nodiscard]] std::expected<void, StorageError> removeFileIfExists(const std::filesystem::path& path);

// A path as UTF-8 text, for messages and logs.
[[nodiscard]] std::string pathText(const std::filesystem::path& path);

} // namespace zelmar
