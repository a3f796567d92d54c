#include "storage/file_io.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <random>

namespace zelmar {

std::filesystem::path resolveLinks(const std::filesystem::path& path)
{
    std::filesystem::path current = path;
    // The same bound the kernel puts on a chain of links.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(current, ec))
            return current;
        const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec)
            return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current;
}

std::filesystem::path uniqueTemporaryPathFor(const std::filesystem::path& path)
{
    // Unpredictable and unique within the process; the exclusive create
    // still decides, this only makes a clash unlikely.
    static std::atomic<std::uint64_t> counter { 0 };
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t { device() } << 32) ^ device()
            ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::uint64_t x = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    char part[16];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(x & 0xFFFFFFFFu));
    std::filesystem::path temporary = path;
    temporary += std::string(".") + part + ".tmp";
    return temporary;
}

std::expected<AppendFile, StorageError> AppendFile::open(const std::filesystem::path& path)
{
    auto opened = detail::openRegular(path, detail::OpenMode::append);
    if (!opened)
        return std::unexpected(opened.error());
    AppendFile file;
    file.file_ = std::move(*opened);
    file.path_ = path;
    return file;
}

std::expected<PinnedFile, StorageError> PinnedFile::open(const std::filesystem::path& path, Others others)
{
    auto opened = detail::openRegular(
        path, others == Others::mayNotWrite ? detail::OpenMode::readAlone : detail::OpenMode::readShared);
    if (!opened)
        return std::unexpected(opened.error());
    PinnedFile file;
    file.file_ = std::move(*opened);
    file.path_ = path;
    return file;
}

AtomicFileWriter::AtomicFileWriter(AtomicFileWriter&& other) noexcept
    : destination_(std::move(other.destination_))
    , temporary_(std::exchange(other.temporary_, {}))
    , file_(std::move(other.file_))
{
}

AtomicFileWriter::~AtomicFileWriter()
{
    abandon();
}

std::expected<void, StorageError> AtomicFileWriter::write(std::string_view bytes)
{
    if (temporary_.empty())
        return std::unexpected(StorageError::fileSystem(pathText(destination_), "寫入已結束"));
    if (!detail::writeAllTo(file_, bytes)) {
        const StorageError error = detail::lastError(destination_);
        abandon();
        return std::unexpected(error);
    }
    return {};
}

std::expected<void, StorageError> AtomicFileWriter::commit()
{
    if (temporary_.empty())
        return std::unexpected(StorageError::fileSystem(pathText(destination_), "寫入已結束"));
    std::optional<StorageError> failure;
    if (!detail::flushToDisk(file_))
        failure = detail::lastError(destination_);
    if (!file_.close() && !failure)
        failure = detail::lastError(destination_);
    // One step replaces the old content; there is never a moment without it.
    if (!failure && !detail::replaceWith(temporary_, destination_))
        failure = detail::lastError(destination_);
    if (failure) {
        abandon();
        return std::unexpected(*failure);
    }
    temporary_.clear();
    detail::syncFolderOf(destination_);
    return {};
}

void AtomicFileWriter::abandon() noexcept
{
    if (temporary_.empty())
        return;
    (void)file_.close();
    detail::removeTemporary(temporary_);
    temporary_.clear();
}

std::expected<void, StorageError> writeFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    auto writer = AtomicFileWriter::create(target);
    if (!writer)
        return std::unexpected(writer.error());
    if (auto written = writer->write(bytes); !written)
        return written;
    return writer->commit();
}

std::string pathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::expected<std::string, StorageError> readWholeFile(const std::filesystem::path& path)
{
    // Checked and read through one open file: what was found to be a
    // regular file of a sane size is what is read.
    auto file = PinnedFile::open(path, PinnedFile::Others::mayWrite);
    if (!file)
        return std::unexpected(file.error());
    const auto size = file->size();
    if (!size)
        return std::unexpected(size.error());
    if (*size > maximumReadSize)
        return std::unexpected(
            StorageError::fileSystem(pathText(path), "檔案過大（" + std::to_string(*size) + " 位元組）"));
    // Read straight into the string's storage: no zero fill first, and no
    // copy of the whole file to find its end (a small probe does that).
    std::string bytes;
    std::optional<StorageError> failure;
    std::exception_ptr thrown; // the operation must not throw: carried out
    std::size_t filled = 0;
    bytes.resize_and_overwrite(static_cast<std::size_t>(*size), [&](char* data, std::size_t capacity) noexcept {
        try {
            while (filled < capacity) {
                const auto n = file->read(std::span(reinterpret_cast<std::uint8_t*>(data) + filled, capacity - filled));
                if (!n) {
                    failure = n.error();
                    return filled;
                }
                if (*n == 0)
                    break;
                filled += *n;
            }
        } catch (...) {
            thrown = std::current_exception();
        }
        return filled;
    });
    if (thrown)
        std::rethrow_exception(thrown);
    if (failure)
        return std::unexpected(*failure);
    // A file that grew since its size was taken is read on, within the bound.
    std::uint8_t probe[16'384];
    for (;;) {
        const auto n = file->read(std::span(probe));
        if (!n)
            return std::unexpected(n.error());
        if (*n == 0)
            break;
        if (bytes.size() + *n > maximumReadSize)
            return std::unexpected(StorageError::fileSystem(pathText(path), "檔案過大"));
        bytes.append(reinterpret_cast<const char*>(probe), *n);
    }
    return bytes;
}

std::expected<void, StorageError> removeFileIfExists(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec)
        return std::unexpected(StorageError::fileSystem(pathText(path), ec.message()));
    return {};
}

} // namespace zelmar
