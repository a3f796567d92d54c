#pragma once

// The few file operations the storage layer needs, with one backend per
// platform (file_io_posix.cpp, file_io_win32.cpp):
// - AppendFile: a file kept open for appending, where every append is one
//   write call followed by a flush to disk, so a killed process leaves at
//   most one torn last line. A failed or partial append is cut off again,
//   so the next good append starts on a fresh line.
// - writeFileAtomically: write a new, exclusively created temporary file
//   beside the target, flush it to disk, then rename it over the target in
//   one step (on Linux the folder is synced too), so a crash leaves the old
//   or the new content, never none. A symbolic link keeps pointing where it
//   did: the file it names is replaced.
// - readWholeFile: regular files only, up to maximumReadSize bytes.

#include "storage/storage_error.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace zelmar {

namespace detail {

// One open file of the platform (a descriptor, or a HANDLE), closed by its
// one owner.
class OwnedFile {
public:
    static constexpr std::intptr_t closed = -1;

    OwnedFile() noexcept = default;
    explicit OwnedFile(std::intptr_t handle) noexcept
        : handle_(handle)
    {
    }
    ~OwnedFile();
    OwnedFile(OwnedFile&& other) noexcept
        : handle_(std::exchange(other.handle_, closed))
    {
    }
    OwnedFile& operator=(OwnedFile&& other) noexcept
    {
        if (this != &other) {
            OwnedFile old(std::exchange(handle_, std::exchange(other.handle_, closed)));
        }
        return *this;
    }
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;

    [[nodiscard]] std::intptr_t get() const noexcept { return handle_; }
    [[nodiscard]] bool isOpen() const noexcept { return handle_ != closed; }
    // Closes it now; false, with the file still owned, when the platform
    // refuses.
    [[nodiscard]] bool close() noexcept;

private:
    std::intptr_t handle_ = closed;
};

// How a file is opened: for appending (others may read), or for reading
// while others may not write, or may.
enum class OpenMode { append, readAlone, readShared };

// Opens an existing regular file and nothing else (no folder, pipe or
// device, checked on the open file itself); one backend per platform.
[[nodiscard]] std::expected<OwnedFile, StorageError> openRegular(const std::filesystem::path& path, OpenMode mode);

// The platform's steps of an atomic replacement: every byte to the file;
// the file's content to disk; the temporary put in the destination's place
// in one step; the folder's entry to disk (where the platform needs that);
// a temporary removed. Failures leave their cause for lastError.
[[nodiscard]] bool writeAllTo(OwnedFile& file, std::string_view bytes);
[[nodiscard]] bool flushToDisk(OwnedFile& file);
[[nodiscard]] bool replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& destination);
void syncFolderOf(const std::filesystem::path& destination);
void removeTemporary(const std::filesystem::path& temporary);
// The platform's last error, about `path`.
[[nodiscard]] StorageError lastError(const std::filesystem::path& path);

} // namespace detail

class AppendFile {
public:
    // Opens an existing file for writing at its end.
    [[nodiscard]] static std::expected<AppendFile, StorageError> open(const std::filesystem::path& path);

    [[nodiscard]] bool isOpen() const noexcept;
    // One write of all bytes, then a flush to disk. When either fails, the
    // file is cut back to its length before the call and the error returned.
    [[nodiscard]] std::expected<void, StorageError> append(std::string_view bytes);
    // Closes the handle; on error the handle stays as it was.
    [[nodiscard]] std::expected<void, StorageError> close();

private:
    detail::OwnedFile file_;
    std::filesystem::path path_;
};

// A file held open for reading so that what is read is what a later call
// by path finds: on Windows others can neither write, rename nor delete it
// while it is open; on POSIX the descriptor keeps reading the same file
// whatever happens to its name.
class PinnedFile {
public:
    // Whether others may still write to it: denied for a file about to be
    // started, allowed for a plain read (the journal has its writer open).
    enum class Others { mayNotWrite, mayWrite };

    // Regular files only.
    [[nodiscard]] static std::expected<PinnedFile, StorageError> open(
        const std::filesystem::path& path, Others others = Others::mayNotWrite);

    [[nodiscard]] std::expected<std::uint64_t, StorageError> size() const;
    // Up to buffer.size() bytes from the current position; 0 at the end.
    [[nodiscard]] std::expected<std::size_t, StorageError> read(std::span<std::uint8_t> buffer);

private:
    detail::OwnedFile file_;
    std::filesystem::path path_;
};

// Creates an empty file if none exists. False when the platform refuses.
[[nodiscard]] bool createFileIfMissing(const std::filesystem::path& path);

// A file replaced at once by bytes written in pieces: they go to a fresh
// temporary file beside it, which commit() flushes to disk and puts in the
// file's place in one step; until then the file is untouched, and a writer
// dropped before commit (or one whose write failed) removes its temporary
// file. Keeps the permissions of the file it replaces; a new file gets the
// platform's defaults. One owner, one thread at a time.
class AtomicFileWriter {
public:
    [[nodiscard]] static std::expected<AtomicFileWriter, StorageError> create(const std::filesystem::path& target);
    AtomicFileWriter(AtomicFileWriter&& other) noexcept;
    AtomicFileWriter& operator=(AtomicFileWriter&&) = delete;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    [[nodiscard]] std::expected<void, StorageError> write(std::string_view bytes);
    [[nodiscard]] std::expected<void, StorageError> commit();

private:
    AtomicFileWriter(std::filesystem::path destination, std::filesystem::path temporary, detail::OwnedFile file)
        : destination_(std::move(destination))
        , temporary_(std::move(temporary))
        , file_(std::move(file))
    {
    }
    void abandon() noexcept;

    std::filesystem::path destination_;
    std::filesystem::path temporary_; // empty once committed or abandoned
    detail::OwnedFile file_;
};

// All bytes at once through an AtomicFileWriter.
[[nodiscard]] std::expected<void, StorageError> writeFileAtomically(
    const std::filesystem::path& target, std::string_view bytes);

// The file a path names once symbolic links are followed (the path itself
// when it is no link or the chain cannot be read).
[[nodiscard]] std::filesystem::path resolveLinks(const std::filesystem::path& path);

// A fresh name beside a file for its temporary copy: the file's name, a
// random part and ".tmp" ("current.jsonl.3f9a1c0b.tmp").
[[nodiscard]] std::filesystem::path uniqueTemporaryPathFor(const std::filesystem::path& path);

// The largest file readWholeFile reads; a bigger one is an error, never an
// attempt to allocate its size.
inline constexpr std::uintmax_t maximumReadSize = std::uintmax_t { 1 } << 30;

// Folders, devices and pipes are refused with an error value.
[[nodiscard]] std::expected<std::string, StorageError> readWholeFile(const std::filesystem::path& path);

[[nodiscard]] std::expected<void, StorageError> removeFileIfExists(const std::filesystem::path& path);

// A path as UTF-8 text, for messages and logs.
[[nodiscard]] std::string pathText(const std::filesystem::path& path);

} // namespace zelmar
