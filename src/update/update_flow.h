#pragma once

// The platform-free decisions of the online update: where the manifest
// comes from, what a check's outcome shows, what each answer to the prompt
// does, whether an installer may start now, and how failures are named,
// logged and shown.

#include "localization/localization.h"
#include "update/http_client.h"
#include "update/update_manifest.h"
#include "update/update_selector.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zelmar {

namespace UpdateEndpoint {

enum class Source { environment, settings, builtIn };
[[nodiscard]] std::string_view sourceText(Source source) noexcept;

inline constexpr std::string_view builtInURL = "https://update.zelmar.com.tw/swupdata/dmm5174k/info.json";

struct Resolution {
    std::string url;
    Source source = Source::builtIn;
    std::vector<std::string> rejected; // "environment=ftp://host/x"
};

// `environment` looks a variable up (ZELMAR_UPDATE_URL).
[[nodiscard]] Resolution resolve(const std::function<std::optional<std::string>(const char*)>& environment,
    const std::optional<std::string>& settingsURL);
// The start-up log lines for a resolution.
[[nodiscard]] std::vector<std::string> logLines(const Resolution& resolution, const std::string& currentVersion);

} // namespace UpdateEndpoint

enum class UpdateCheckMode { automatic, manual, unattendedInstall };
[[nodiscard]] std::string_view checkModeText(UpdateCheckMode mode) noexcept;
[[nodiscard]] std::optional<UpdateCheckMode> parseCheckMode(std::string_view text) noexcept;

struct UpdateFailure {
    enum class Kind {
        network,
        serverStatus,
        manifestUnsupported,
        manifestWrongProduct,
        downloadNetwork,
        downloadServerStatus,
        storage,
        launchFailed,
        manifestInvalid,
        manifestTampered,
        integrityMismatch,
        cancelled,
        elevationCancelled,
        recordingInProgress,
    };
    Kind kind = Kind::manifestInvalid;
    std::int64_t number = 0; // code, status or version
    std::string text; // product name or storage detail

    static UpdateFailure of(Kind k, std::int64_t n = 0, std::string t = {}) { return { k, n, std::move(t) }; }
    friend bool operator==(const UpdateFailure&, const UpdateFailure&) = default;

    [[nodiscard]] static UpdateFailure fromCheck(const UpdateHTTPError& error);
    [[nodiscard]] static UpdateFailure fromCheck(const UpdateManifestError& error);
    [[nodiscard]] static UpdateFailure fromDownload(const UpdateHTTPError& error);

    [[nodiscard]] std::string logText() const;
    [[nodiscard]] std::string userMessage(AppLanguage language) const;
    [[nodiscard]] bool isWarning() const noexcept { return kind == Kind::recordingInProgress; }
    [[nodiscard]] L10nKey dialogTitle() const noexcept;
};

struct UpdateCheckOutcome {
    std::optional<UpdateDecision> decided;
    std::optional<UpdateFailure> failed;
};

struct UpdateUIAction {
    enum class Kind { showUpToDate, showNotice, showNoticeAndPrompt, showError, installUnattended, logOnly };
    Kind kind = Kind::logOnly;
    std::string currentVersion;
    std::optional<UpdateRelease> release;
    bool mandatory = false;
    std::optional<UpdateFailure> failure;
};

namespace UpdateFlow {

enum class PromptChoice { updateNow, remindLater, skipVersion };
struct PromptEffects {
    std::optional<std::string> skipVersion;
    bool keepNotice = false;
    bool startDownload = false;
    friend bool operator==(const PromptEffects&, const PromptEffects&) = default;
};
enum class InstallPreflight { blockedByRecording, askToSaveChanges, ready };

[[nodiscard]] UpdateUIAction action(
    const UpdateCheckOutcome& outcome, UpdateCheckMode mode, const std::string& currentVersion);
[[nodiscard]] PromptEffects effects(PromptChoice choice, const std::string& version, bool mandatory);
[[nodiscard]] InstallPreflight preflight(bool isRecording, bool hasUnsavedChanges) noexcept;

// The notes for a language tag, by the lookup order of the prompt.
[[nodiscard]] std::optional<std::string> notes(const UpdateRelease& release, std::string_view languageTag);
[[nodiscard]] std::string formatNotes(
    std::string_view text, std::size_t maxLines = 20, std::size_t maxCharacters = 1500);
[[nodiscard]] int percent(std::int64_t received, std::optional<std::int64_t> expected) noexcept;

} // namespace UpdateFlow

} // namespace zelmar
