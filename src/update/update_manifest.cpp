#include "update/update_manifest.h"
#include "storage/json_document.h"

#include "core/text_encoding.h"
#include "storage/json_write.h"
#include "storage/signed_envelope.h"
#include "update/url.h"

#include <nlohmann/json.hpp>

namespace zelmar {

namespace {

using Json = nlohmann::json;

// Decoding with the coding path of every value, so that a failure names the
// field: "versions.[0].url".
struct DecodeFailure {
    std::string detail;
};

std::string pathText(const std::vector<std::string>& path)
{
    if (path.empty())
        return "根";
    std::string text;
    for (const auto& piece : path)
        text += (text.empty() ? "" : ".") + piece;
    return text;
}

class Decoder {
public:
    std::vector<std::string> path;

    const Json& required(const Json& object, const std::string& key)
    {
        const auto it = object.find(key);
        if (it == object.end())
            throw DecodeFailure { "缺少欄位 " + pathText(path) + "." + key };
        return *it;
    }
    // A required member read with `key` on the path.
    template <typename F> auto field(const Json& object, const std::string& key, F read)
    {
        const Json& value = required(object, key);
        return at(key, [&] { return read(value); });
    }
    // Runs `read` with `key` on the path.
    template <typename F> auto at(const std::string& key, F read)
    {
        path.push_back(key);
        auto result = read();
        path.pop_back();
        return result;
    }
    std::string string(const Json& v)
    {
        check(v, v.is_string());
        return v.get<std::string>();
    }
    std::int64_t integer(const Json& v)
    {
        check(v, v.is_number_integer() || v.is_number_unsigned());
        if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
            throw DecodeFailure { "欄位 " + pathText(path) + " 內容不合規則" };
        return v.get<std::int64_t>();
    }
    bool boolean(const Json& v)
    {
        check(v, v.is_boolean());
        return v.get<bool>();
    }
    void check(const Json& v, bool ok)
    {
        if (v.is_null())
            throw DecodeFailure { "欄位 " + pathText(path) + " 為 null" };
        if (!ok)
            throw DecodeFailure { "欄位 " + pathText(path) + " 型別不符" };
    }
};

struct RawRelease {
    std::string version, channel, releaseDate;
    std::optional<bool> mandatory;
    std::optional<std::string> minVersion;
    std::map<std::string, std::string> notes;
    std::string url;
    std::int64_t size = 0;
    std::string sha256;
};

struct RawPayload {
    std::optional<std::string> format;
    std::optional<std::int64_t> formatVersion;
    std::string name, latest;
    std::vector<RawRelease> versions;
};

// Optional members: absent and null both mean absent.
const Json* optionalMember(const Json& object, const std::string& key)
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? nullptr : &*it;
}

RawPayload decodeRaw(const Json& root)
{
    Decoder d;
    d.check(root, root.is_object());
    RawPayload raw;
    if (const Json* f = optionalMember(root, "format"))
        raw.format = d.at("format", [&] { return d.string(*f); });
    if (const Json* v = optionalMember(root, "formatVersion"))
        raw.formatVersion = d.at("formatVersion", [&] { return d.integer(*v); });
    raw.name = d.field(root, "name", [&](const Json& v) { return d.string(v); });
    raw.latest = d.field(root, "latest", [&](const Json& v) { return d.string(v); });
    const Json& versions = d.required(root, "versions");
    d.at("versions", [&] {
        d.check(versions, versions.is_array());
        for (std::size_t i = 0; i < versions.size(); ++i) {
            d.at("[" + std::to_string(i) + "]", [&] {
                const Json& r = versions[i];
                d.check(r, r.is_object());
                RawRelease release;
                release.version = d.field(r, "version", [&](const Json& v) { return d.string(v); });
                release.channel = d.field(r, "channel", [&](const Json& v) { return d.string(v); });
                release.releaseDate = d.field(r, "release_date", [&](const Json& v) { return d.string(v); });
                if (const Json* m = optionalMember(r, "mandatory"))
                    release.mandatory = d.at("mandatory", [&] { return d.boolean(*m); });
                if (const Json* m = optionalMember(r, "min_version"))
                    release.minVersion = d.at("min_version", [&] { return d.string(*m); });
                if (const Json* n = optionalMember(r, "notes")) {
                    d.at("notes", [&] {
                        d.check(*n, n->is_object());
                        for (const auto& [tag, text] : n->items())
                            release.notes[tag] = d.at(tag, [&] { return d.string(text); });
                        return 0;
                    });
                }
                release.url = d.field(r, "url", [&](const Json& v) { return d.string(v); });
                release.size = d.field(r, "size", [&](const Json& v) { return d.integer(v); });
                release.sha256 = d.field(r, "sha256", [&](const Json& v) { return d.string(v); });
                raw.versions.push_back(std::move(release));
                return 0;
            });
        }
        return 0;
    });
    return raw;
}

bool validDate(const std::string& s)
{
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return false;
    for (int i : { 0, 1, 2, 3, 5, 6, 8, 9 })
        if (s[i] < '0' || s[i] > '9')
            return false;
    const int year = std::stoi(s.substr(0, 4));
    const int month = std::stoi(s.substr(5, 2));
    const int day = std::stoi(s.substr(8, 2));
    if (year < 2000 || month < 1 || month > 12 || day < 1)
        return false;
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

UpdateManifestValidationError fail(std::string reason)
{
    return UpdateManifestValidationError { std::move(reason) };
}

JSONNode str(std::string s)
{
    return JSONNode { std::move(s) };
}

} // namespace

std::expected<void, UpdateManifestValidationError> UpdateManifest::validate(bool requireLatestListed) const
{
    if (name.empty())
        return std::unexpected(fail("name 不可為空"));
    const auto latestVersion = SemanticVersion::parse(latest);
    if (!latestVersion)
        return std::unexpected(fail("latest「" + latest + "」不是合法的版本號（MAJOR.MINOR.PATCH[-prerelease]）"));
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < releases.size(); ++i) {
        const UpdateRelease& r = releases[i];
        const std::string c = "versions[" + std::to_string(i) + "]（" + r.version.text() + "）";
        const bool channelOk = !r.channel.empty() && r.channel.size() <= 32
            && std::all_of(r.channel.begin(), r.channel.end(), [](char ch) { return ch >= 0x21 && ch <= 0x7E; });
        if (!channelOk)
            return std::unexpected(fail(c + "：channel 須為 1–32 個可見 ASCII 字元"));
        if (!validDate(r.releaseDate))
            return std::unexpected(fail(c + "：release_date「" + r.releaseDate + "」不是合法日期（yyyy-MM-dd）"));
        if (r.minVersion && *r.minVersion > r.version)
            return std::unexpected(fail(c + "：min_version（" + r.minVersion->text() + "）不可大於 version"));
        const auto url = parseUrl(r.url);
        if (!url || (url->scheme != "http" && url->scheme != "https"))
            return std::unexpected(fail(c + "：url 只接受 http／https"));
        if (url->host.empty())
            return std::unexpected(fail(c + "：url 缺少主機名稱"));
        if (r.size < 1 || r.size > 4'294'967'296LL)
            return std::unexpected(fail(c + "：size 須介於 1 與 4294967296 位元組"));
        const bool hashOk = r.sha256.size() == 64 && std::all_of(r.sha256.begin(), r.sha256.end(), [](char ch) {
            return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f');
        });
        if (!hashOk)
            return std::unexpected(fail(c + "：sha256 須為 64 字元小寫十六進位"));
        const std::string key = r.version.text() + "|" + r.channel;
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return std::unexpected(fail(c + "：版本與通道重複（" + r.version.text() + " / " + r.channel + "）"));
        seen.push_back(key);
    }
    if (requireLatestListed && std::none_of(releases.begin(), releases.end(), [&](const UpdateRelease& r) {
            return r.version == *latestVersion;
        }))
        return std::unexpected(fail("latest「" + latest + "」不在 versions 清單內"));
    return {};
}

std::string JSONNode::serialized() const
{
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                std::string out;
                appendJsonString(out, v);
                return out;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::vector<JSONNode>>) {
                std::string out = "[";
                for (std::size_t i = 0; i < v.size(); ++i)
                    out += (i ? "," : "") + v[i].serialized();
                return out + "]";
            } else {
                std::string out = "{";
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i)
                        out += ",";
                    appendJsonString(out, v[i].first);
                    out += ":" + v[i].second.serialized();
                }
                return out + "}";
            }
        },
        value);
}

namespace UpdateManifestCodec {

std::expected<UpdateManifest, UpdateManifestValidationError> decodePayload(std::string_view payload, bool requireFormat)
{
    if (payload.starts_with("\xEF\xBB\xBF"))
        payload.remove_prefix(3);
    if (!text::isValidUtf8(payload))
        return std::unexpected(fail("payload 不是有效的 UTF-8 文字"));
    const auto json = parseJsonDocument(payload);
    if (json.is_discarded())
        return std::unexpected(fail("payload JSON 結構或欄位型別不符（JSON 格式錯誤）"));
    RawPayload raw;
    try {
        raw = decodeRaw(json);
    } catch (const DecodeFailure& failure) {
        return std::unexpected(fail("payload JSON 結構或欄位型別不符（" + failure.detail + "）"));
    }
    if (!raw.format) {
        if (requireFormat)
            return std::unexpected(fail("缺少 format"));
    } else if (*raw.format != formatMagic) {
        return std::unexpected(fail("format 須為 ZELMAR-UPDATE（實際：" + *raw.format + "）"));
    }
    if (!raw.formatVersion) {
        if (requireFormat)
            return std::unexpected(fail("缺少 formatVersion"));
    } else if (*raw.formatVersion != 1) {
        return std::unexpected(fail("formatVersion 須為 1（實際：" + std::to_string(*raw.formatVersion) + "）"));
    }
    UpdateManifest manifest { raw.name, raw.latest, {} };
    for (std::size_t i = 0; i < raw.versions.size(); ++i) {
        RawRelease& r = raw.versions[i];
        const std::string at = "versions[" + std::to_string(i) + "]：";
        UpdateRelease release;
        const auto version = SemanticVersion::parse(r.version);
        if (!version)
            return std::unexpected(fail(at + "version「" + r.version + "」不是合法的版本號"));
        release.version = *version;
        if (r.minVersion) {
            const auto minimum = SemanticVersion::parse(*r.minVersion);
            if (!minimum)
                return std::unexpected(fail(at + "min_version「" + *r.minVersion + "」不是合法的版本號"));
            release.minVersion = *minimum;
        }
        if (!parseUrl(r.url))
            return std::unexpected(fail(at + "url 不是合法網址"));
        release.channel = std::move(r.channel);
        release.releaseDate = std::move(r.releaseDate);
        release.mandatory = r.mandatory.value_or(false);
        release.notes = std::move(r.notes);
        release.url = std::move(r.url);
        release.size = r.size;
        release.sha256 = std::move(r.sha256);
        manifest.releases.push_back(std::move(release));
    }
    if (auto valid = manifest.validate(false); !valid)
        return std::unexpected(valid.error());
    return manifest;
}

std::expected<UpdateManifest, UpdateManifestError> decode(
    std::string data, const ZmdVerifier& verifier, std::string_view expectedName)
{
    using Kind = SignedJSONEnvelope::PeekValue::Kind;
    if (static_cast<std::int64_t>(data.size()) > maximumDocument)
        return std::unexpected(UpdateManifestError::notManifest());
    auto envelope = SignedJSONEnvelope::parse(std::move(data));
    if (!envelope)
        return std::unexpected(UpdateManifestError::notManifest());
    const auto peek = envelope->peekHeader();
    if (peek.format) {
        if (peek.format->kind != Kind::string || peek.format->text != formatMagic)
            return std::unexpected(UpdateManifestError::notManifest());
    } else if (peek.reachedEnd) {
        return std::unexpected(UpdateManifestError::notManifest());
    }
    if (peek.formatVersion && peek.formatVersion->kind == Kind::integer && peek.formatVersion->integer >= 2)
        return std::unexpected(UpdateManifestError::unsupportedVersion(peek.formatVersion->integer));
    if (!envelope->signatureParts() || !envelope->verify(verifier))
        return std::unexpected(UpdateManifestError::tampered());
    auto manifest = decodePayload(envelope->payloadView(), true);
    if (!manifest)
        return std::unexpected(UpdateManifestError::notManifest());
    if (manifest->name != expectedName)
        return std::unexpected(UpdateManifestError::nameMismatch(manifest->name));
    return std::move(*manifest);
}

std::expected<std::string, std::string> encode(const UpdateManifest& manifest, const ZmdSigner& signer)
{
    if (auto valid = manifest.validate(true); !valid)
        return std::unexpected(valid.error().reason);
    std::vector<JSONNode> versions;
    for (const UpdateRelease& r : manifest.releases) {
        std::vector<std::pair<std::string, JSONNode>> release { { "version", str(r.version.text()) },
            { "channel", str(r.channel) }, { "release_date", str(r.releaseDate) },
            { "mandatory", JSONNode { r.mandatory } } };
        if (r.minVersion)
            release.emplace_back("min_version", str(r.minVersion->text()));
        if (!r.notes.empty()) {
            std::vector<std::pair<std::string, JSONNode>> notes;
            for (const auto& [tag, text] : r.notes)
                notes.emplace_back(tag, str(text));
            release.emplace_back("notes", JSONNode { std::move(notes) });
        }
        release.emplace_back("url", str(r.url));
        release.emplace_back("size", JSONNode { r.size });
        release.emplace_back("sha256", str(r.sha256));
        versions.push_back(JSONNode { std::move(release) });
    }
    const JSONNode payload { std::vector<std::pair<std::string, JSONNode>> {
        { "format", str(std::string(formatMagic)) }, { "formatVersion", JSONNode { std::int64_t { 1 } } },
        { "name", str(manifest.name) }, { "latest", str(manifest.latest) },
        { "versions", JSONNode { std::move(versions) } } } };
    auto sealed = SignedJSONEnvelope::seal(payload.serialized(), signer, maximumDocument);
    if (!sealed) {
        if (const auto* tooLarge = std::get_if<SignedJSONEnvelope::TooLarge>(&sealed.error()))
            return std::unexpected(
                "清單大小 " + std::to_string(tooLarge->total) + " 位元組超過上限 " + std::to_string(tooLarge->limit));
        if (const auto* crypto = std::get_if<CryptoError>(&sealed.error()))
            return std::unexpected(crypto->text());
        return std::unexpected(std::string("清單 payload 不是單一 JSON 值"));
    }
    return std::move(*sealed);
}

} // namespace UpdateManifestCodec

} // namespace zelmar
