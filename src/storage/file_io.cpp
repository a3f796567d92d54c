#include "storage/file_io.h"

#include <fstream>
#include <iterator>

namespace zelmar {

std::filesystem::path temporaryPathFor(const std::filesystem::path& path)
{
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

std::string pathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::expected<std::string, StorageError> readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::unexpected(StorageError::fileSystem(pathText(path), "無法讀取檔案"));
    const std::streamoff size = in.tellg();
    std::string bytes;
    if (size > 0) {
        // One read of the whole file: big journals and .zmd files are common.
        bytes.resize(static_cast<std::size_t>(size));
        in.seekg(0);
        in.read(bytes.data(), size);
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    // Files whose size is not known up front (pipes, /proc) are read on.
    if (size <= 0 || in.gcount() == size) {
        in.clear();
        bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (in.bad())
        return std::unexpected(StorageError::fileSystem(pathText(path), "無法讀取檔案"));
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
