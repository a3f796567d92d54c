#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "storage/file_io.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

namespace zelmar {

namespace {

StorageError lastError(const std::filesystem::path& path)
{
    return StorageError::fileSystem(pathText(path), win32::lastErrorText());
}

HANDLE native(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

detail::OwnedFile::~OwnedFile()
{
    if (handle_ != closed)
        CloseHandle(native(handle_));
}

bool detail::OwnedFile::close() noexcept
{
    if (handle_ == closed)
        return true;
    if (!CloseHandle(native(handle_)))
        return false;
    handle_ = closed;
    return true;
}

std::expected<detail::OwnedFile, StorageError> detail::openRegular(const std::filesystem::path& path, OpenMode mode)
{
    // Appending takes write access (not append-only) so that a failed append
    // can be cut off again; every append moves to the end first, and the
    // journal has this one writer. Reading alone shares reading only: no one
    // may write, rename or delete the file meanwhile, while starting it as a
    // program (a read) stays possible.
    const DWORD access = mode == OpenMode::append ? GENERIC_WRITE : GENERIC_READ;
    const DWORD share = mode == OpenMode::append ? FILE_SHARE_READ | FILE_SHARE_DELETE
        : mode == OpenMode::readAlone            ? FILE_SHARE_READ
                                                 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::unexpected(lastError(path));
    OwnedFile file(reinterpret_cast<std::intptr_t>(h));
    if (GetFileType(h) != FILE_TYPE_DISK)
        return std::unexpected(StorageError::fileSystem(pathText(path), "不是一般檔案"));
    return file;
}

bool AppendFile::isOpen() const noexcept
{
    return file_.isOpen();
}

std::expected<void, StorageError> AppendFile::append(std::string_view bytes)
{
    if (!file_.isOpen())
        return std::unexpected(StorageError::fileSystem(pathText(path_), "檔案未開啟"));
    HANDLE h = native(file_.get());
    LARGE_INTEGER before {};
    if (!SetFilePointerEx(h, LARGE_INTEGER {}, &before, FILE_END))
        return std::unexpected(lastError(path_));
    DWORD written = 0;
    std::optional<StorageError> failure;
    if (bytes.size() > MAXDWORD)
        failure = StorageError::fileSystem(pathText(path_), "寫入不完整");
    else if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        failure = lastError(path_);
    else if (written != bytes.size())
        failure = StorageError::fileSystem(pathText(path_), "寫入不完整");
    else if (!FlushFileBuffers(h))
        failure = lastError(path_);
    if (!failure)
        return {};
    // A torn fragment would glue the next good line onto it; cut it off.
    if (SetFilePointerEx(h, before, nullptr, FILE_BEGIN))
        SetEndOfFile(h);
    return std::unexpected(*failure);
}

std::expected<void, StorageError> AppendFile::close()
{
    if (!file_.close())
        return std::unexpected(lastError(path_));
    return {};
}

std::expected<std::uint64_t, StorageError> PinnedFile::size() const
{
    LARGE_INTEGER size {};
    if (!file_.isOpen() || !GetFileSizeEx(native(file_.get()), &size))
        return std::unexpected(lastError(path_));
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::expected<std::size_t, StorageError> PinnedFile::read(std::span<std::uint8_t> buffer)
{
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
    if (!ReadFile(native(file_.get()), buffer.data(), want, &read, nullptr))
        return std::unexpected(lastError(path_));
    return static_cast<std::size_t>(read);
}

bool createFileIfMissing(const std::filesystem::path& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

std::expected<AtomicFileWriter, StorageError> AtomicFileWriter::create(const std::filesystem::path& target)
{
    std::filesystem::path destination = resolveLinks(target);
    const DWORD existingAttributes = GetFileAttributesW(destination.c_str());
    const DWORD attributes
        = existingAttributes != INVALID_FILE_ATTRIBUTES && (existingAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        ? (existingAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE))
        : FILE_ATTRIBUTE_NORMAL;

    std::filesystem::path temporary;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = uniqueTemporaryPathFor(destination);
        h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (h == INVALID_HANDLE_VALUE)
        return std::unexpected(lastError(destination));
    return AtomicFileWriter(
        std::move(destination), std::move(temporary), detail::OwnedFile(reinterpret_cast<std::intptr_t>(h)));
}

bool detail::writeAllTo(OwnedFile& file, std::string_view bytes)
{
    bool ok = true;
    while (ok && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        ok = WriteFile(native(file.get()), bytes.data(), chunk, &written, nullptr) && written == chunk;
        bytes.remove_prefix(chunk);
    }
    return ok;
}

bool detail::flushToDisk(OwnedFile& file)
{
    return FlushFileBuffers(native(file.get())) != 0;
}

bool detail::replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& destination)
{
    return MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void detail::syncFolderOf(const std::filesystem::path&)
{
    // MOVEFILE_WRITE_THROUGH has put the new entry on disk already.
}

void detail::removeTemporary(const std::filesystem::path& temporary)
{
    DeleteFileW(temporary.c_str());
}

StorageError detail::lastError(const std::filesystem::path& path)
{
    return zelmar::lastError(path);
}

} // namespace zelmar
