#include "update/update_downloader.h"
#include "security/ecdsa.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cctype>

namespace zelmar {

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::int64_t fileLength(const std::filesystem::path& file)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

void removeQuietly(const std::filesystem::path& file)
{
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

} // namespace

std::string UpdateDownloader::installerFileName(const std::string& versionText)
{
    return "ZELMAR_DMM5174K_Setup_" + versionText + ".exe";
}

bool UpdateDownloader::isSafeFileName(std::string_view name)
{
    if (name.empty() || name.size() > 128 || name.front() == '.' || name.back() == '.')
        return false;
    if (!std::all_of(name.begin(), name.end(),
            [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'; }))
        return false;
    const std::string lowered = lower(std::string(name));
    if (lowered.ends_with(".part"))
        return false;
    std::string stem = lowered.substr(0, lowered.find('.'));
    static constexpr std::string_view reserved[] = { "con", "prn", "aux", "nul", "com1", "com2", "com3", "com4", "com5",
        "com6", "com7", "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9" };
    return std::find(std::begin(reserved), std::end(reserved), stem) == std::end(reserved);
}

std::expected<std::string, UpdateHTTPError> UpdateDownloader::sha256Hex(PinnedFile& file)
{
    const auto failed
        = [](const std::string& text) { return std::unexpected(UpdateHTTPError::io("SHA-256 計算失敗：" + text)); };
    auto stream = Sha256Stream::create();
    if (!stream)
        return failed(stream.error().text());
    std::vector<std::uint8_t> buffer(1 << 20);
    for (;;) {
        const auto n = file.read(buffer);
        if (!n)
            return failed(n.error().text());
        if (*n == 0)
            break;
        if (auto added = stream->update(std::span(buffer).first(*n)); !added)
            return failed(added.error().text());
    }
    auto hex = stream->finishHex();
    if (!hex)
        return failed(hex.error().text());
    return std::move(*hex);
}

std::expected<std::string, UpdateHTTPError> UpdateDownloader::sha256Hex(const std::filesystem::path& file)
{
    auto pinned = PinnedFile::open(file);
    if (!pinned)
        return std::unexpected(UpdateHTTPError::io("SHA-256 計算失敗：" + pinned.error().text()));
    return sha256Hex(*pinned);
}

bool UpdateDownloader::stillVerified(PinnedFile& file, std::int64_t size, const std::string& sha256)
{
    const auto length = file.size();
    if (!length || *length != static_cast<std::uint64_t>(size))
        return false;
    const auto actual = sha256Hex(file);
    return actual && *actual == lower(sha256);
}

bool UpdateDownloader::stillVerified(const std::filesystem::path& file, std::int64_t size, const std::string& sha256)
{
    auto pinned = PinnedFile::open(file);
    return pinned && stillVerified(*pinned, size, sha256);
}

std::expected<std::filesystem::path, UpdateHTTPError> UpdateDownloader::download(const std::string& url,
    const std::string& fileName, std::int64_t size, const std::string& sha256, const Progress& progress)
{
    if (!isSafeFileName(fileName))
        return std::unexpected(UpdateHTTPError::io("不安全的檔名：" + fileName));
    const std::string expectedHash = lower(sha256);
    if (expectedHash.size() != 64 || !std::all_of(expectedHash.begin(), expectedHash.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        }))
        return std::unexpected(UpdateHTTPError::checksumMismatch());
    if (size <= 0)
        return std::unexpected(UpdateHTTPError::sizeMismatch(size, 0));
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (ec)
        return std::unexpected(UpdateHTTPError::io("無法建立下載目錄 " + pathText(directory_) + "：" + ec.message()));

    const auto finalFile = directory_ / fileName;
    const auto working = directory_ / (fileName + ".part");
    if (std::filesystem::exists(finalFile, ec)) {
        if (stillVerified(finalFile, size, expectedHash))
            return finalFile; // verified earlier: no transfer
        removeQuietly(finalFile);
    }
    removeQuietly(working);

    std::optional<UpdateHTTPError> remembered;
    auto transferred
        = client_.download(url, working, timeout_, [&](std::int64_t received, std::optional<std::int64_t> announced) {
              if (announced && *announced != size) {
                  remembered = UpdateHTTPError::sizeMismatch(size, *announced);
                  return false;
              }
              if (received > size) {
                  remembered = UpdateHTTPError::sizeMismatch(size, received);
                  return false;
              }
              return !progress || progress(received, size);
          });
    if (!transferred) {
        removeQuietly(working);
        if (remembered && transferred.error().kind == UpdateHTTPError::Kind::cancelled)
            return std::unexpected(*remembered);
        return std::unexpected(transferred.error());
    }
    const std::int64_t length = fileLength(working);
    if (length != size) {
        removeQuietly(working);
        return std::unexpected(UpdateHTTPError::sizeMismatch(size, length < 1 ? 0 : length));
    }
    auto actual = sha256Hex(working);
    if (!actual) {
        removeQuietly(working);
        return std::unexpected(actual.error());
    }
    if (*actual != expectedHash) {
        removeQuietly(working);
        return std::unexpected(UpdateHTTPError::checksumMismatch());
    }
    removeQuietly(finalFile);
    std::filesystem::rename(working, finalFile, ec);
    if (ec) {
        removeQuietly(working);
        return std::unexpected(
            UpdateHTTPError::io("無法將 " + fileName + ".part 改名為 " + fileName + "：" + ec.message()));
    }
    return finalFile;
}

std::vector<std::string> UpdateDownloader::removeInstalledInstallers(
    const std::filesystem::path& directory, const SemanticVersion& running)
{
    std::vector<std::string> removed;
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec)
        return removed;
    static constexpr std::string_view prefix = "ZELMAR_DMM5174K_Setup_";
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix) || !lower(name).ends_with(".exe") || !entry.is_regular_file(ec)
            || entry.is_symlink(ec))
            continue;
        const auto version
            = SemanticVersion::parse(std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - 4));
        if (version && !(running < *version)) {
            removeQuietly(entry.path());
            if (!std::filesystem::exists(entry.path(), ec))
                removed.push_back(name);
        }
    }
    return removed;
}

std::expected<void, UpdateHTTPError> UpdateDownloader::removeOldInstallers(const std::string& keeping) const
{
    std::error_code ec;
    if (!std::filesystem::exists(directory_, ec))
        return {};
    const std::string keep = lower(keeping);
    std::filesystem::directory_iterator it(directory_, ec);
    if (ec)
        return std::unexpected(UpdateHTTPError::io("無法列出 " + pathText(directory_) + "：" + ec.message()));
    for (const auto& entry : it) {
        const std::string name = lower(entry.path().filename().string());
        if (name == keep)
            continue;
        if ((name.ends_with(".exe") || name.ends_with(".part")) && entry.is_regular_file(ec) && !entry.is_symlink(ec))
            removeQuietly(entry.path());
    }
    return {};
}

} // namespace zelmar
