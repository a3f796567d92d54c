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
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::unexpected(StorageError::fileSystem(pathText(path), "無法讀取檔案"));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
