#pragma once

// Environment switches that let an automated test drive the window program
// without a person: a private data directory, answers to the questions that
// would block, a file to open, recording at start, a picture of the window
// after a delay and a close after another. Read once at start-up; with none
// set the program behaves exactly as without them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace zelmar {

using Environment = std::map<std::string, std::string>; // UTF-8 names and values

enum class RecoveryAnswer { restore, discard };
enum class UpdateMode { check, install };

struct TestHooks {
    std::optional<std::string> dataDirectory; // ZELMAR_TEST_DATA_DIR
    bool autoRecord = false; // ZELMAR_TEST_AUTORECORD=1
    std::optional<long long> intervalOverride; // ZELMAR_TEST_INTERVAL
    std::optional<RecoveryAnswer> recoveryAnswer; // ZELMAR_TEST_RECOVERY
    std::optional<std::uint32_t> autoCloseMs; // ZELMAR_TEST_AUTOCLOSE_MS
    std::optional<std::string> autoSavePath; // ZELMAR_TEST_AUTOSAVE
    std::optional<std::string> openPath; // ZELMAR_TEST_OPEN_PATH
    std::optional<std::string> snapshotPath; // ZELMAR_TEST_SHOT
    std::uint32_t snapshotDelayMs = 4000; // ZELMAR_TEST_SHOT_DELAY_MS
    std::optional<std::string> snapshotMenu; // ZELMAR_TEST_SHOT_MENU, lower case
    std::optional<UpdateMode> updateMode; // ZELMAR_TEST_UPDATE
    // A close that takes this long before the window goes, as a large save
    // would (what an installer waiting for the program must survive).
    std::optional<std::uint32_t> slowCloseMs; // ZELMAR_TEST_SLOW_CLOSE_MS

    [[nodiscard]] static TestHooks read(const Environment& environment);
    // Whether any hook that changes behaviour is set (the picture's menu
    // and delay alone do not count).
    [[nodiscard]] bool anyActive() const noexcept;
};

[[nodiscard]] std::string_view recoveryAnswerText(RecoveryAnswer answer) noexcept;

} // namespace zelmar
