#pragma once

// The per-user data directory and the persisted settings. Loading never
// fails: a missing, unreadable or malformed file gives the defaults, and one
// bad member loses only that member. Saving replaces settings.json
// atomically.

#include "core/limits.h"
#include "storage/storage_error.h"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zelmar {

struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isMaximized = false;

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

struct AppSettings {
    std::string language;
    int recordInterval = 10;
    std::optional<std::string> lastSaveDirectory;
    std::optional<WindowPlacement> windowPlacement;
    bool chartVisible = true;
    bool alwaysOnTop = false;
    bool autoCheckUpdates = true;
    std::optional<double> lastUpdateCheck; // seconds since 1970
    std::optional<std::string> skippedUpdateVersion;
    std::optional<std::string> updateManifestURL;
    // Limits set for readings of a function and unit; written only when
    // some are set, and ignored by versions that do not know them.
    std::vector<LimitsFor> limits;

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

class PathProvider {
public:
    // With an override (the test hook ZELMAR_TEST_DATA_DIR) that folder is
    // the data directory itself; otherwise LOCALAPPDATA/ZelmarDMM5174K, or
    // the platform's per-user data folder/ZelmarDMM5174K.
    explicit PathProvider(std::optional<std::filesystem::path> overrideDirectory = std::nullopt);

    [[nodiscard]] const std::filesystem::path& baseDirectory() const noexcept { return base_; }
    // These create the folders they lie in, ignoring failures.
    [[nodiscard]] std::filesystem::path settingsPath() const;
    [[nodiscard]] std::filesystem::path journalPath() const;
    [[nodiscard]] std::filesystem::path journalMetaPath() const;

    // The data directory for the given environment values (for tests).
    [[nodiscard]] static std::filesystem::path resolve(const std::optional<std::filesystem::path>& overrideDirectory,
        const char* localAppData, const std::filesystem::path& platformUserData);

private:
    std::filesystem::path base_;
};

class SettingsStore {
public:
    explicit SettingsStore(PathProvider paths);

    [[nodiscard]] AppSettings load() const;
    [[nodiscard]] std::expected<void, StorageError> save(const AppSettings& settings) const;

    // The JSON text written for the settings (sorted keys, pretty printed).
    [[nodiscard]] static std::string encode(const AppSettings& settings);
    [[nodiscard]] static AppSettings decode(std::string_view text);

private:
    PathProvider paths_;
};

// The platform's per-user data folder: %LOCALAPPDATA%'s known folder on
// Windows, $XDG_DATA_HOME or ~/.local/share on Linux.
[[nodiscard]] std::filesystem::path platformUserDataDirectory();

} // namespace zelmar
