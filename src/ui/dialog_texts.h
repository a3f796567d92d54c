#pragma once

// What the dialogs say, without the dialogs: the answer hints appended to
// message boxes, the update prompt's texts, the file dialogs' filters and
// the name a save dialog proposes. Portable and tested in both builds.

#include "core/limits.h"
#include "localization/localization.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::ui {

// "[Yes] = …" lines telling which message-box button means what.
[[nodiscard]] std::string recoveryHint(AppLanguage language);
[[nodiscard]] std::string unsavedHint(AppLanguage language);
[[nodiscard]] std::string updateHint(AppLanguage language);
// The caller's body, two line feeds and the unsaved hint.
[[nodiscard]] std::string unsavedQuestionText(std::string_view body, AppLanguage language);

struct UpdatePromptInfo {
    std::string currentVersion;
    std::string newVersion;
    std::string releaseDate;
    std::uint64_t sizeBytes = 0;
    std::string notes;
    bool mandatory = false;
    bool requiresElevation = false;
};
enum class UpdatePromptChoice { updateNow, remindLater, skipVersion };

struct UpdatePromptTexts {
    std::string title;
    std::string mainInstruction;
    std::string content;
    std::string footer;
};
[[nodiscard]] UpdatePromptTexts updatePromptTexts(const UpdatePromptInfo& info, AppLanguage language);
// The Yes/No box shown when no task dialog can be.
[[nodiscard]] std::string updatePromptFallbackText(const UpdatePromptInfo& info, AppLanguage language);
inline constexpr int updateNowButton = 100;
inline constexpr int remindLaterButton = 101;

enum class FileDialogType { zmd, csv, png };
[[nodiscard]] std::string_view extension(FileDialogType type) noexcept;
struct FileFilter {
    std::string label;
    std::string pattern;
};
[[nodiscard]] std::vector<FileFilter> fileFilters(FileDialogType type, AppLanguage language);
// The save dialog's title: the command's name for an export ("Export CSV",
// "Export Chart Image"),
// none (the system's "Save As") for a measurement file.
[[nodiscard]] std::optional<std::string> saveDialogTitle(FileDialogType type, AppLanguage language);
// A menu text as a title: without its mnemonic, ellipsis and shortcut.
[[nodiscard]] std::string plainMenuText(std::string_view menuText);
// The name the save dialog starts with: the default name for `now` when
// none is given; a given "zmd" or "csv" extension of the other type is
// replaced by the dialog's.
[[nodiscard]] std::string proposedSaveName(std::optional<std::string_view> given, FileDialogType type, double now);

// The limits dialog's fields: each a number or empty (no limit); the low
// limit not above the high one. The error is the text to show.
[[nodiscard]] std::expected<Limits, L10nKey> parseLimitsForm(
    std::string_view lowText, std::string_view highText, bool beep);
// A limit as the dialog shows it again: empty for none.
[[nodiscard]] std::string limitFieldText(std::optional<double> limit);

} // namespace zelmar::ui
