#include "update/update_flow.h"

#include "core/text_encoding.h"
#include "update/url.h"

#include <algorithm>

namespace zelmar {

std::string_view UpdateEndpoint::sourceText(Source source) noexcept
{
    switch (source) {
    case Source::environment:
        return "environment";
    case Source::settings:
        return "settings";
    case Source::builtIn:
        return "builtIn";
    }
    return {};
}

UpdateEndpoint::Resolution UpdateEndpoint::resolve(
    const std::function<std::optional<std::string>(const char*)>& environment,
    const std::optional<std::string>& settingsURL)
{
    Resolution resolution;
    const std::pair<Source, std::optional<std::string>> candidates[]
        = { { Source::environment, environment("ZELMAR_UPDATE_URL") }, { Source::settings, settingsURL } };
    for (const auto& [source, value] : candidates) {
        if (!value)
            continue;
        const std::string_view trimmed = text::trimWhitespace(*value);
        if (trimmed.empty())
            continue;
        if (isHttpUrl(trimmed)) {
            resolution.url = std::string(trimmed);
            resolution.source = source;
            return resolution;
        }
        resolution.rejected.push_back(std::string(sourceText(source)) + "=" + *value);
    }
    resolution.url = std::string(builtInURL);
    resolution.source = Source::builtIn;
    return resolution;
}

std::vector<std::string> UpdateEndpoint::logLines(const Resolution& r, const std::string& currentVersion)
{
    std::vector<std::string> lines;
    for (const auto& note : r.rejected)
        lines.push_back("更新：清單網址覆寫格式不合法，已略過：" + note);
    lines.push_back(
        "更新：清單網址 " + r.url + "（來源 " + std::string(sourceText(r.source)) + "）、目前版本 " + currentVersion);
    return lines;
}

std::string_view checkModeText(UpdateCheckMode mode) noexcept
{
    switch (mode) {
    case UpdateCheckMode::automatic:
        return "automatic";
    case UpdateCheckMode::manual:
        return "manual";
    case UpdateCheckMode::unattendedInstall:
        return "unattendedInstall";
    }
    return {};
}

std::optional<UpdateCheckMode> parseCheckMode(std::string_view text) noexcept
{
    for (auto mode : { UpdateCheckMode::automatic, UpdateCheckMode::manual, UpdateCheckMode::unattendedInstall })
        if (checkModeText(mode) == text)
            return mode;
    return std::nullopt;
}

using FK = UpdateFailure::Kind;

UpdateFailure UpdateFailure::fromCheck(const UpdateHTTPError& e)
{
    using HK = UpdateHTTPError::Kind;
    switch (e.kind) {
    case HK::network:
        return of(FK::network, e.code);
    case HK::httpStatus:
        return of(FK::serverStatus, e.status);
    case HK::sizeMismatch:
        return of(FK::integrityMismatch);
    case HK::io:
        return of(FK::storage, 0, e.text);
    case HK::tooLarge:
        return of(FK::manifestInvalid);
    case HK::cancelled:
        return of(FK::cancelled);
    case HK::checksumMismatch:
        return of(FK::integrityMismatch);
    }
    return of(FK::storage, 0, e.description());
}

UpdateFailure UpdateFailure::fromCheck(const UpdateManifestError& e)
{
    using MK = UpdateManifestError::Kind;
    switch (e.kind) {
    case MK::unsupportedVersion:
        return of(FK::manifestUnsupported, e.version);
    case MK::nameMismatch:
        return of(FK::manifestWrongProduct, 0, e.name);
    case MK::notManifest:
        return of(FK::manifestInvalid);
    case MK::tampered:
        return of(FK::manifestTampered);
    }
    return of(FK::manifestInvalid);
}

UpdateFailure UpdateFailure::fromDownload(const UpdateHTTPError& e)
{
    using HK = UpdateHTTPError::Kind;
    switch (e.kind) {
    case HK::network:
        return of(FK::downloadNetwork, e.code);
    case HK::httpStatus:
        return of(FK::downloadServerStatus, e.status);
    case HK::sizeMismatch:
    case HK::tooLarge:
    case HK::checksumMismatch:
        return of(FK::integrityMismatch);
    case HK::io:
        return of(FK::storage, 0, e.text);
    case HK::cancelled:
        return of(FK::cancelled);
    }
    return of(FK::storage, 0, e.description());
}

std::string UpdateFailure::logText() const
{
    const std::string n = std::to_string(number);
    switch (kind) {
    case FK::network:
        return "取清單網路錯誤（代碼 " + n + "）";
    case FK::serverStatus:
        return "取清單伺服器回應 HTTP " + n;
    case FK::manifestUnsupported:
        return "清單 formatVersion " + n + " 較新，不支援";
    case FK::manifestWrongProduct:
        return "清單產品名稱不符（" + text + "）";
    case FK::downloadNetwork:
        return "下載網路錯誤（代碼 " + n + "）";
    case FK::downloadServerStatus:
        return "下載伺服器回應 HTTP " + n;
    case FK::storage:
        return "檔案錯誤：" + text;
    case FK::launchFailed:
        return "無法啟動安裝程式（Win32 錯誤 " + n + "）";
    case FK::manifestInvalid:
        return "清單格式不正確（非清單／欄位不合規則／超過 1 MiB）";
    case FK::manifestTampered:
        return "清單驗章失敗（可能遭竄改、keyId 不明或非發行端所簽）";
    case FK::integrityMismatch:
        return "安裝檔大小或 SHA-256 不符（已刪除）";
    case FK::cancelled:
        return "使用者取消";
    case FK::elevationCancelled:
        return "使用者取消 UAC 權限確認";
    case FK::recordingInProgress:
        return "記錄中，不可更新";
    }
    return {};
}

std::string UpdateFailure::userMessage(AppLanguage l) const
{
    const auto key = [&](L10nKey k) { return std::string(L10n::text(k, l)); };
    switch (kind) {
    case FK::network:
        return L10n::manifestNetworkError(l, number);
    case FK::serverStatus:
        return L10n::manifestHttpStatus(l, number);
    case FK::manifestUnsupported:
        return key(L10nKey::updateErrorManifestUnsupported);
    case FK::manifestWrongProduct:
        return key(L10nKey::updateErrorManifestWrongProduct);
    case FK::downloadNetwork:
        return L10n::installerNetworkError(l, number);
    case FK::downloadServerStatus:
        return L10n::installerHttpStatus(l, number);
    case FK::storage:
        return key(L10nKey::updateErrorStorage);
    case FK::launchFailed:
        return L10n::installerLaunchFailed(l, number);
    case FK::manifestInvalid:
        return key(L10nKey::updateErrorManifestInvalid);
    case FK::manifestTampered:
        return key(L10nKey::updateErrorManifestTampered);
    case FK::integrityMismatch:
        return key(L10nKey::updateErrorIntegrity);
    case FK::cancelled:
        return key(L10nKey::dialogUpdateCancelling);
    case FK::elevationCancelled:
        return key(L10nKey::updateErrorElevationCancelled);
    case FK::recordingInProgress:
        return key(L10nKey::updateErrorRecording);
    }
    return {};
}

L10nKey UpdateFailure::dialogTitle() const noexcept
{
    switch (kind) {
    case FK::recordingInProgress:
        return L10nKey::dialogUpdateTitle;
    case FK::network:
    case FK::serverStatus:
    case FK::manifestUnsupported:
    case FK::manifestWrongProduct:
    case FK::manifestInvalid:
    case FK::manifestTampered:
        return L10nKey::dialogUpdateCheckFailedTitle;
    default:
        return L10nKey::dialogUpdateFailedTitle;
    }
}

UpdateUIAction UpdateFlow::action(
    const UpdateCheckOutcome& outcome, UpdateCheckMode mode, const std::string& currentVersion)
{
    using AK = UpdateUIAction::Kind;
    UpdateUIAction a;
    a.currentVersion = currentVersion;
    if (outcome.failed) {
        a.failure = outcome.failed;
        a.kind = mode == UpdateCheckMode::manual ? AK::showError : AK::logOnly;
        return a;
    }
    if (!outcome.decided)
        return a;
    const UpdateDecision& d = *outcome.decided;
    a.release = d.release;
    switch (d.kind) {
    case UpdateDecision::Kind::upToDate:
        a.kind = mode == UpdateCheckMode::manual ? AK::showUpToDate : AK::logOnly;
        break;
    case UpdateDecision::Kind::skipped:
        a.kind = mode == UpdateCheckMode::automatic ? AK::logOnly
            : mode == UpdateCheckMode::manual       ? AK::showNoticeAndPrompt
                                                    : AK::installUnattended;
        break;
    case UpdateDecision::Kind::available:
        a.mandatory = d.mandatory;
        if (mode == UpdateCheckMode::unattendedInstall)
            a.kind = AK::installUnattended;
        else if (mode == UpdateCheckMode::automatic && !d.mandatory)
            a.kind = AK::showNotice;
        else
            a.kind = AK::showNoticeAndPrompt;
        break;
    }
    return a;
}

UpdateFlow::PromptEffects UpdateFlow::effects(PromptChoice choice, const std::string& version, bool mandatory)
{
    switch (choice) {
    case PromptChoice::updateNow:
        return { std::nullopt, true, true };
    case PromptChoice::remindLater:
        return { std::nullopt, true, false };
    case PromptChoice::skipVersion:
        return mandatory ? PromptEffects { std::nullopt, true, false } : PromptEffects { version, false, false };
    }
    return {};
}

UpdateFlow::InstallPreflight UpdateFlow::preflight(bool isRecording, bool hasUnsavedChanges) noexcept
{
    if (isRecording)
        return InstallPreflight::blockedByRecording;
    return hasUnsavedChanges ? InstallPreflight::askToSaveChanges : InstallPreflight::ready;
}

std::optional<std::string> UpdateFlow::notes(const UpdateRelease& release, std::string_view tag)
{
    const auto& n = release.notes; // a std::map: ascending order of tags
    if (auto it = n.find(std::string(tag)); it != n.end())
        return it->second;
    const auto language = tag.substr(0, tag.find('-'));
    for (const auto& [key, text] : n)
        if (std::string_view(key).substr(0, key.find('-')) == language)
            return text;
    if (auto it = n.find("en-US"); it != n.end())
        return it->second;
    if (!n.empty())
        return n.begin()->second;
    return std::nullopt;
}

std::string UpdateFlow::formatNotes(std::string_view input, std::size_t maxLines, std::size_t maxCharacters)
{
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (input[i] == '\r') {
            text += '\n';
            if (i + 1 < input.size() && input[i + 1] == '\n')
                ++i;
        } else {
            text += input[i];
        }
    }
    text = std::string(text::trimWhitespace(text));
    bool cut = false;
    std::size_t lines = 0;
    std::size_t at = 0;
    for (; at < text.size(); ++at) {
        if (text[at] == '\n' && ++lines == maxLines) {
            text.resize(at);
            cut = true;
            break;
        }
    }
    // Characters are counted as Unicode characters, not bytes.
    std::u16string units = text::utf8ToUtf16(text);
    std::size_t characters = 0, unit = 0;
    for (; unit < units.size() && characters < maxCharacters; ++unit, ++characters)
        if (units[unit] >= 0xD800 && units[unit] <= 0xDBFF)
            ++unit;
    if (unit < units.size()) {
        units.resize(unit);
        text = text::utf16ToUtf8(units);
        cut = true;
    }
    if (cut)
        text = std::string(text::trimWhitespace(text)) + "…";
    return text;
}

int UpdateFlow::percent(std::int64_t received, std::optional<std::int64_t> expected) noexcept
{
    if (!expected || *expected < 1)
        return 0;
    const std::int64_t done = std::max<std::int64_t>(0, std::min(received, *expected));
    return static_cast<int>(done * 100 / *expected);
}

} // namespace zelmar
