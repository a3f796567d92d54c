#pragma once

// Fetches an installer into the download folder and hands back a file only
// when its length and SHA-256 equal what the signed manifest promised. The
// transfer goes to NAME.part, which takes the final name only once verified;
// a verified file from an earlier run is reused without a transfer.

#include "storage/file_io.h"
#include "update/http_client.h"
#include "update/semantic_version.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zelmar {

class UpdateDownloader {
public:
    using Progress = std::function<bool(std::int64_t received, std::int64_t expected)>;

    UpdateDownloader(UpdateHTTPClient& client, std::filesystem::path directory, double timeoutSeconds)
        : client_(client)
        , directory_(std::move(directory))
        , timeout_(timeoutSeconds)
    {
    }

    // "ZELMAR_DMM5174K_Setup_" + version + ".exe"
    [[nodiscard]] static std::string installerFileName(const std::string& versionText);
    [[nodiscard]] static bool isSafeFileName(std::string_view name);

    [[nodiscard]] std::expected<std::filesystem::path, UpdateHTTPError> download(const std::string& url,
        const std::string& fileName, std::int64_t size, const std::string& sha256, const Progress& progress);
    // Deletes leftover .exe and .part files except `keeping` (any case).
    [[nodiscard]] std::expected<void, UpdateHTTPError> removeOldInstallers(const std::string& keeping) const;
    // After an update: the installers of this version or an older one have
    // done their work and go; the names of those removed. Anything else in
    // the folder stays.
    [[nodiscard]] static std::vector<std::string> removeInstalledInstallers(
        const std::filesystem::path& directory, const SemanticVersion& running);
    // Streams the file through the hash: installers may be gigabytes.
    [[nodiscard]] static std::expected<std::string, UpdateHTTPError> sha256Hex(const std::filesystem::path& file);
    [[nodiscard]] static std::expected<std::string, UpdateHTTPError> sha256Hex(PinnedFile& file);

    // Hashes the file once more right before it is started, so that a file
    // swapped in the folder after verification is never launched.
    [[nodiscard]] static bool stillVerified(PinnedFile& file, std::int64_t size, const std::string& sha256);
    [[nodiscard]] static bool stillVerified(
        const std::filesystem::path& file, std::int64_t size, const std::string& sha256);

private:
    UpdateHTTPClient& client_;
    std::filesystem::path directory_;
    double timeout_;
};

} // namespace zelmar
