#pragma once

// Every user-visible text in Traditional Chinese (Taiwan) and English (US).
// A pure lookup layer: callers pass the language on every call, so a
// language switch shows at the next rebuild of a window, menu or dialog.
// Log lines are not localized and do not come from here.

#include "core/dmm_function.h"
#include "core/statistics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelmar {

enum class AppLanguage { zhTW, enUS };

[[nodiscard]] std::string_view languageCode(AppLanguage language) noexcept;
// Exactly "zh-TW" or "en-US"; anything else is none.
[[nodiscard]] std::optional<AppLanguage> parseLanguageCode(std::string_view code) noexcept;

enum class L10nKey {
    menuFile,
    menuEdit,
    menuView,
    menuHelp,
    fileNew,
    fileOpen,
    fileSave,
    fileSaveAs,
    fileExportCsv,
    fileExit,
    editCopySelectedRows,
    editSelectAll,
    editDeleteSelectedRows,
    editClearAllRecords,
    viewChart,
    viewAlwaysOnTop,
    viewLanguage,
    viewLanguageZhTW,
    viewLanguageEnUS,
    helpUsage,
    helpAbout,
    helpLicense,
    labelRecordInterval,
    labelSeconds,
    buttonNewFile,
    buttonStart,
    buttonStop,
    buttonSave,
    buttonOpen,
    tooltipStart,
    tooltipStop,
    tooltipNewFile,
    tooltipOpen,
    tooltipSave,
    tooltipUnavailableWhileRecording,
    fileTypeZmd,
    fileTypeCsv,
    fileTypeAll,
    chartLabelUnit,
    chartLabelValue,
    chartLabelTime,
    columnDate,
    columnTime,
    columnFunction,
    columnValue,
    columnUnit,
    statusDisconnected,
    statusReadError,
    statusUsbHid,
    dialogRecoveryTitle,
    buttonRestore,
    buttonDiscard,
    dialogRecordingCloseTitle,
    dialogRecordingCloseBody,
    buttonStopAndClose,
    dialogUnsavedTitle,
    dialogUnsavedBody,
    buttonDontSave,
    dialogLimitReachedTitle,
    dialogLimitReachedBody,
    dialogNewFileTitle,
    dialogNewFileBody,
    dialogDeleteRowsTitle,
    dialogDeleteRowsBody,
    buttonDelete,
    dialogClearAllTitle,
    dialogClearAllBody,
    buttonClear,
    dialogSaveFailedTitle,
    dialogOpenFailedTitle,
    dialogOpenNotZmdBody,
    dialogOpenTamperedBody,
    dialogOpenUnsupportedVersionBody,
    dialogExportFailedTitle,
    dialogJournalWriteFailedTitle,
    dialogJournalWriteFailedBody,
    buttonOK,
    buttonCancel,
    dialogOpenWhileRecordingBody,
    dialogLicenseMissingBody,
    dialogUpdateTitle,
    dialogUpdateAvailableHeading,
    dialogUpdateRequiredHeading,
    dialogUpdateRequiredNote,
    dialogUpdateInstallNote,
    dialogUpdateNotesHeading,
    dialogUpdateNoNotes,
    buttonUpdateNow,
    buttonRemindLater,
    dialogUpdateDownloadingHeading,
    dialogUpdateCancelling,
    dialogUpdateCheckFailedTitle,
    dialogUpdateFailedTitle,
    updateErrorManifestInvalid,
    updateErrorManifestTampered,
    updateErrorManifestUnsupported,
    updateErrorManifestWrongProduct,
    updateErrorIntegrity,
    updateErrorStorage,
    updateErrorElevationCancelled,
    updateErrorRecording,
    statusCheckingForUpdates,
    aboutCheckForUpdates,
    appName,
    dialogAboutTitle,
    aboutCompany,
    aboutBodyText,
    aboutCloseHint,
    dialogHelpTitle,
    helpBodyText,
    chartOtherUnitsHidden,
    helpCheckForUpdates,
    accessibleMeterDisplay,
    accessibleTrendChart,
    accessibleNoSamples,
    accessibleLowBattery,
    accessibleDiode,
    accessibleContinuity,
    accessiblePress,
    chartLive,
    menuExportChartImage,
    menuLimits,
    dialogLimitsTitle,
    limitsLow,
    limitsHigh,
    limitsBeep,
    limitsHint,
    limitsNotANumber,
    limitsOrder,
    limitsNeedReading,
    exportChartImageFailed,
    fileTypePng,
    overload,
};

inline constexpr int l10nKeyCount = 133;

namespace L10n {

[[nodiscard]] std::string_view text(L10nKey key, AppLanguage language) noexcept;
[[nodiscard]] std::string functionName(DmmFunction function, AppLanguage language);

// Composed texts. Numbers are plain decimal without grouping.
[[nodiscard]] std::string windowTitle(std::optional<std::string_view> fileName, bool unsaved);
[[nodiscard]] std::string statusConnected(AppLanguage language, std::string_view model);
[[nodiscard]] std::string statusRecording(AppLanguage language, std::int64_t sample, bool nearLimit);
[[nodiscard]] std::string recoveryQuestion(
    AppLanguage language, std::int64_t records, std::string_view from, std::string_view to);
[[nodiscard]] std::string openRefusedOtherModel(AppLanguage language, std::string_view model);
[[nodiscard]] std::string openFailed(AppLanguage language, std::string_view detail);
[[nodiscard]] std::string saveFailed(AppLanguage language, std::string_view detail);
[[nodiscard]] std::string exportFailed(AppLanguage language, std::string_view detail);
[[nodiscard]] std::string versionLine(AppLanguage language, std::string_view version);
[[nodiscard]] std::string updateAvailable(AppLanguage language, std::string_view version);
[[nodiscard]] std::string downloadingPercent(AppLanguage language, std::int64_t percent);
[[nodiscard]] std::string upToDate(AppLanguage language, std::string_view version);
[[nodiscard]] std::string updatePromptVersions(AppLanguage language, std::string_view current, std::string_view next);
[[nodiscard]] std::string updatePromptFacts(AppLanguage language, std::string_view date, std::string_view size);
[[nodiscard]] std::string downloadProgress(
    AppLanguage language, std::string_view done, std::string_view total, std::int64_t percent);
[[nodiscard]] std::string manifestNetworkError(AppLanguage language, std::int64_t code);
[[nodiscard]] std::string manifestHttpStatus(AppLanguage language, std::int64_t status);
[[nodiscard]] std::string installerNetworkError(AppLanguage language, std::int64_t code);
[[nodiscard]] std::string installerHttpStatus(AppLanguage language, std::int64_t status);
[[nodiscard]] std::string installerLaunchFailed(AppLanguage language, std::int64_t code);
// Another writer (the logger, or the window program) holds the data directory.
[[nodiscard]] std::string dataDirectoryInUse(AppLanguage language, std::string_view detail);
// What a screen reader is told the chart shows.
[[nodiscard]] std::string chartDescription(AppLanguage language, std::int64_t samples, std::string_view unit,
    std::string_view from, std::string_view to, std::string_view minimum, std::string_view maximum);
// The statistics strip: the figures of the readings of one function and
// unit, of the whole recording or of the time the zoomed chart shows.
[[nodiscard]] std::string statisticsStrip(AppLanguage language, bool visibleRange, std::string_view function,
    std::string_view unit, const RunningStatistics& figures);
[[nodiscard]] std::string statisticsNone(AppLanguage language);
// The status bar's alarm part: the reading and the limit it crossed.
[[nodiscard]] std::string alarmStatus(AppLanguage language, std::string_view value, std::string_view unit,
    bool above, std::string_view limit);
// What the limits dialog says it sets them for.
[[nodiscard]] std::string limitsFor(AppLanguage language, std::string_view function, std::string_view unit);
// Numbers as `dmm5174k info` prints them: six significant digits.
[[nodiscard]] std::string figure(double value);
// "1024 KB", "1.5 MB": the same in both languages.
[[nodiscard]] std::string byteSize(std::uint64_t bytes);

} // namespace L10n

} // namespace zelmar
