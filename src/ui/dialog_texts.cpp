#include "ui/dialog_texts.h"

#include "core/text_encoding.h"
#include "session/session_time_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zelmar::ui {

namespace {

constexpr std::string_view ideographicSpace = "\u3000";

std::string text(L10nKey key, AppLanguage language)
{
    return std::string(L10n::text(key, language));
}

// "[Yes] = A   [No] = B" or "［是］＝A　［否］＝B".
std::string yesNoHint(L10nKey yes, L10nKey no, AppLanguage language)
{
    if (language == AppLanguage::enUS)
        return "[Yes] = " + text(yes, language) + "   [No] = " + text(no, language);
    return "［是］＝" + text(yes, language) + std::string(ideographicSpace) + "［否］＝" + text(no, language);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::string recoveryHint(AppLanguage language)
{
    return yesNoHint(L10nKey::buttonRestore, L10nKey::buttonDiscard, language);
}

std::string unsavedHint(AppLanguage language)
{
    std::string hint = yesNoHint(L10nKey::buttonSave, L10nKey::buttonDontSave, language);
    if (language == AppLanguage::enUS)
        return hint + "   [Cancel] = " + text(L10nKey::buttonCancel, language);
    return hint + std::string(ideographicSpace) + "［取消］＝" + text(L10nKey::buttonCancel, language);
}

std::string updateHint(AppLanguage language)
{
    return yesNoHint(L10nKey::buttonUpdateNow, L10nKey::buttonRemindLater, language);
}

std::string unsavedQuestionText(std::string_view body, AppLanguage language)
{
    return std::string(body) + "\n\n" + unsavedHint(language);
}

UpdatePromptTexts updatePromptTexts(const UpdatePromptInfo& info, AppLanguage language)
{
    UpdatePromptTexts t;
    t.title = text(L10nKey::dialogUpdateTitle, language);
    t.mainInstruction
        = text(info.mandatory ? L10nKey::dialogUpdateRequiredHeading : L10nKey::dialogUpdateAvailableHeading, language);
    if (info.mandatory)
        t.content = text(L10nKey::dialogUpdateRequiredNote, language) + "\n";
    t.content += L10n::updatePromptVersions(language, info.currentVersion, info.newVersion);
    t.content += "\n";
    t.content += L10n::updatePromptFacts(language, info.releaseDate, L10n::byteSize(info.sizeBytes));
    t.content += "\n\n";
    t.content += text(L10nKey::dialogUpdateNotesHeading, language);
    t.content += "\n";
    const auto notes = text::trimWhitespace(info.notes);
    t.content += notes.empty() ? text(L10nKey::dialogUpdateNoNotes, language) : std::string(notes);
    t.footer = text(L10nKey::dialogUpdateInstallNote, language);
    return t;
}

std::string updatePromptFallbackText(const UpdatePromptInfo& info, AppLanguage language)
{
    const auto t = updatePromptTexts(info, language);
    return t.mainInstruction + "\n\n" + t.content + "\n\n" + t.footer + "\n\n" + updateHint(language);
}

std::string_view extension(FileDialogType type) noexcept
{
    switch (type) {
    case FileDialogType::zmd:
        return "zmd";
    case FileDialogType::png:
        return "png";
    case FileDialogType::csv:
        break;
    }
    return "csv";
}

std::vector<FileFilter> fileFilters(FileDialogType type, AppLanguage language)
{
    const std::string ext(extension(type));
    const auto label = type == FileDialogType::zmd ? L10nKey::fileTypeZmd
        : type == FileDialogType::png              ? L10nKey::fileTypePng
                                                   : L10nKey::fileTypeCsv;
    return {
        { text(label, language) + " (*." + ext + ")", "*." + ext },
        { text(L10nKey::fileTypeAll, language) + " (*.*)", "*.*" },
    };
}

std::string proposedSaveName(std::optional<std::string_view> given, FileDialogType type, double now)
{
    if (!given)
        return SessionTimeFormat::defaultFileName(now, extension(type));
    std::string name(*given);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    const std::string_view ext = std::string_view(name).substr(dot + 1);
    const bool known = equalsIgnoringCase(ext, "zmd") || equalsIgnoringCase(ext, "csv") || equalsIgnoringCase(ext, "png");
    if (known && !equalsIgnoringCase(ext, extension(type)))
        name.replace(dot + 1, std::string::npos, extension(type));
    return name;
}

std::string plainMenuText(std::string_view menuText)
{
    std::string_view text = menuText.substr(0, menuText.find('\t'));
    while (text.ends_with("..."))
        text.remove_suffix(3);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // "(&E)" goes whole; a lone "&" before a letter goes alone.
        if (text.compare(i, 2, "(&") == 0 && i + 3 < text.size() && text[i + 3] == ')') {
            i += 3;
            continue;
        }
        if (text[i] == '&')
            continue;
        out += text[i];
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::optional<std::string> saveDialogTitle(FileDialogType type, AppLanguage language)
{
    switch (type) {
    case FileDialogType::csv:
        return plainMenuText(L10n::text(L10nKey::fileExportCsv, language));
    case FileDialogType::png:
        return plainMenuText(L10n::text(L10nKey::menuExportChartImage, language));
    case FileDialogType::zmd:
        break;
    }
    return std::nullopt;
}

namespace {

// A plain decimal or exponent number, white space around it allowed.
std::optional<double> limitNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 40)
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    const bool plain = std::all_of(copy.begin(), copy.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    });
    if (!plain || end != copy.c_str() + copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool blank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

} // namespace

std::expected<Limits, L10nKey> parseLimitsForm(std::string_view lowText, std::string_view highText, bool beep)
{
    Limits limits;
    limits.beep = beep;
    for (auto [text, limit] : { std::pair { lowText, &limits.low }, std::pair { highText, &limits.high } }) {
        if (blank(text))
            continue;
        *limit = limitNumber(text);
        if (!*limit)
            return std::unexpected(L10nKey::limitsNotANumber);
    }
    if (limits.low && limits.high && *limits.low > *limits.high)
        return std::unexpected(L10nKey::limitsOrder);
    return limits;
}

std::string limitFieldText(std::optional<double> limit)
{
    if (!limit)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", *limit);
    return text;
}

} // namespace zelmar::ui
