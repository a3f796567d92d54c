#include "storage/settings.h"
#include "storage/json_document.h"
#include "storage/file_io.h"
#include "storage/timestamp.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>

namespace zelmar {

namespace {

constexpr const char* kFolderName = "ZelmarDMM5174K";

void createFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
}

// An integer member that fits an int; anything else (a fraction, a number
// beyond 32 bits, which would otherwise wrap) is the wrong type.
std::optional<int> int32Value(const nlohmann::json& value)
{
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT32_MAX)
            ? std::optional<int>(static_cast<int>(value.get<std::uint64_t>()))
            : std::nullopt;
    if (value.is_number_integer() && value.get<std::int64_t>() >= INT32_MIN && value.get<std::int64_t>() <= INT32_MAX)
        return static_cast<int>(value.get<std::int64_t>());
    return std::nullopt;
}

template <typename T> void take(const nlohmann::json& object, const char* key, T& member)
{
    const auto it = object.find(key);
    if (it == object.end())
        return;
    if constexpr (std::is_same_v<T, bool>) {
        if (it->is_boolean())
            member = it->get<bool>();
    } else if constexpr (std::is_same_v<T, int>) {
        if (const auto value = int32Value(*it))
            member = *value;
    } else {
        if (it->is_string())
            member = it->get<std::string>();
    }
}

std::optional<WindowPlacement> placementFrom(const nlohmann::json& object)
{
    const auto it = object.find("windowPlacement");
    if (it == object.end() || !it->is_object())
        return std::nullopt;
    const nlohmann::json& p = *it;
    const auto integer = [&](const char* key) {
        const auto member = p.find(key);
        return member == p.end() ? std::nullopt : int32Value(*member);
    };
    const auto x = integer("x"), y = integer("y"), width = integer("width"), height = integer("height");
    const auto maximized = p.find("isMaximized");
    if (!x || !y || !width || !height || maximized == p.end() || !maximized->is_boolean())
        return std::nullopt;
    return WindowPlacement { *x, *y, *width, *height, maximized->get<bool>() };
}

// One bad entry loses only that entry.
std::vector<LimitsFor> limitsFrom(const nlohmann::json& json)
{
    std::vector<LimitsFor> list;
    const auto member = json.find("limits");
    if (member == json.end() || !member->is_array())
        return list;
    const auto finite = [](const nlohmann::json& entry, const char* name) -> std::optional<double> {
        const auto it = entry.find(name);
        if (it == entry.end() || !it->is_number() || !std::isfinite(it->get<double>()))
            return std::nullopt;
        return it->get<double>();
    };
    for (const nlohmann::json& entry : *member) {
        if (!entry.is_object())
            continue;
        const auto function = entry.find("function");
        const auto unit = entry.find("unit");
        if (function == entry.end() || !function->is_number_unsigned() || function->get<std::uint64_t>() > 255
            || unit == entry.end() || !unit->is_string())
            continue;
        LimitsFor limits { static_cast<std::uint8_t>(function->get<std::uint64_t>()), unit->get<std::string>(),
            { finite(entry, "low"), finite(entry, "high"), false } };
        if (const auto beep = entry.find("beep"); beep != entry.end() && beep->is_boolean())
            limits.limits.beep = beep->get<bool>();
        if (!limits.limits.any() || (limits.limits.low && limits.limits.high && *limits.limits.low > *limits.limits.high))
            continue;
        list.push_back(std::move(limits));
    }
    return list;
}

} // namespace

PathProvider::PathProvider(std::optional<std::filesystem::path> overrideDirectory)
    : base_(resolve(overrideDirectory, std::getenv("LOCALAPPDATA"), platformUserDataDirectory()))
{
}

std::filesystem::path PathProvider::resolve(const std::optional<std::filesystem::path>& overrideDirectory,
    const char* localAppData, const std::filesystem::path& platformUserData)
{
    if (overrideDirectory && !overrideDirectory->empty())
        return *overrideDirectory;
    if (localAppData != nullptr && *localAppData != '\0')
        return std::filesystem::path(localAppData) / kFolderName;
    return platformUserData / kFolderName;
}

std::filesystem::path PathProvider::settingsPath() const
{
    createFolder(base_);
    return base_ / "settings.json";
}

std::filesystem::path PathProvider::journalPath() const
{
    createFolder(base_ / "temp");
    return base_ / "temp" / "current.jsonl";
}

std::filesystem::path PathProvider::journalMetaPath() const
{
    createFolder(base_ / "temp");
    return base_ / "temp" / "current.meta.json";
}

SettingsStore::SettingsStore(PathProvider paths)
    : paths_(std::move(paths))
{
}

AppSettings SettingsStore::decode(std::string_view text)
{
    AppSettings settings;
    const auto json = parseJsonDocument(text);
    if (json.is_discarded() || !json.is_object())
        return settings;
    take(json, "language", settings.language);
    take(json, "recordInterval", settings.recordInterval);
    take(json, "chartVisible", settings.chartVisible);
    take(json, "alwaysOnTop", settings.alwaysOnTop);
    take(json, "autoCheckUpdates", settings.autoCheckUpdates);
    take(json, "lastSaveDirectory", settings.lastSaveDirectory);
    take(json, "skippedUpdateVersion", settings.skippedUpdateVersion);
    take(json, "updateManifestURL", settings.updateManifestURL);
    settings.windowPlacement = placementFrom(json);
    settings.limits = limitsFrom(json);
    if (const auto it = json.find("lastUpdateCheck"); it != json.end() && it->is_string())
        settings.lastUpdateCheck = parseTimestamp(it->get_ref<const std::string&>());
    return settings;
}

std::string SettingsStore::encode(const AppSettings& s)
{
    nlohmann::json json = nlohmann::json::object(); // std::map keeps the keys sorted
    json["language"] = s.language;
    json["recordInterval"] = s.recordInterval;
    json["chartVisible"] = s.chartVisible;
    json["alwaysOnTop"] = s.alwaysOnTop;
    json["autoCheckUpdates"] = s.autoCheckUpdates;
    if (s.lastSaveDirectory)
        json["lastSaveDirectory"] = *s.lastSaveDirectory;
    if (s.windowPlacement) {
        const WindowPlacement& p = *s.windowPlacement;
        json["windowPlacement"] = { { "x", p.x }, { "y", p.y }, { "width", p.width }, { "height", p.height },
            { "isMaximized", p.isMaximized } };
    }
    if (s.lastUpdateCheck) {
        if (auto text = generalTimestamp(*s.lastUpdateCheck, LocalTimeZone::currentOffsetSeconds()))
            json["lastUpdateCheck"] = *text;
    }
    if (s.skippedUpdateVersion)
        json["skippedUpdateVersion"] = *s.skippedUpdateVersion;
    if (s.updateManifestURL)
        json["updateManifestURL"] = *s.updateManifestURL;
    if (!s.limits.empty()) {
        nlohmann::json list = nlohmann::json::array();
        for (const LimitsFor& l : s.limits) {
            nlohmann::json entry { { "function", l.function }, { "unit", l.unit }, { "beep", l.limits.beep } };
            if (l.limits.low)
                entry["low"] = *l.limits.low;
            if (l.limits.high)
                entry["high"] = *l.limits.high;
            list.push_back(std::move(entry));
        }
        json["limits"] = std::move(list);
    }
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

AppSettings SettingsStore::load() const
{
    auto bytes = readWholeFile(paths_.settingsPath());
    if (!bytes)
        return {};
    return decode(*bytes);
}

std::expected<void, StorageError> SettingsStore::save(const AppSettings& settings) const
{
    const auto path = paths_.settingsPath();
    return writeFileAtomically(path, encode(settings));
}

} // namespace zelmar
