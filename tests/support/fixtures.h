#pragma once

// Paths shared with the test runner: the committed fixtures, and the folder
// in which the Linux and Windows runs leave files for each other.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace zelmar::testing {

// A Unix path as this build's file functions see it (Wine maps / to Z:).
inline std::filesystem::path hostPath(const std::string& unixPath)
{
#ifdef _WIN32
    if (!unixPath.empty() && unixPath.front() == '/')
        return std::filesystem::path("Z:" + unixPath);
#endif
    return unixPath;
}

inline std::filesystem::path fixturePath(const std::string& name)
{
    return hostPath(std::string(ZELMAR_FIXTURES_DIR) + "/" + name);
}

// The exchange folder (ZELMAR_CROSS_DIR), when the runner set one.
inline std::optional<std::filesystem::path> crossDirectory()
{
    const char* dir = std::getenv("ZELMAR_CROSS_DIR");
    if (dir == nullptr || *dir == '\0')
        return std::nullopt;
    auto path = hostPath(dir);
    std::filesystem::create_directories(path);
    return path;
}

// Whether the runner requires the other build's files to be present.
inline bool crossFilesRequired()
{
    const char* required = std::getenv("ZELMAR_CROSS_REQUIRE");
    return required != nullptr && std::string(required) == "1";
}

inline const char* buildName()
{
#ifdef _WIN32
    return "windows";
#else
    return "linux";
#endif
}

inline const char* otherBuildName()
{
#ifdef _WIN32
    return "linux";
#else
    return "windows";
#endif
}

} // namespace zelmar::testing
