// Writes the seed corpus of every fuzz target, made by the project's own
// encoders: journal lines, a .zmd file and its payload, settings, meter
// reports, open-document messages, a version resource and a manifest
// payload. fuzz/make_corpus.sh runs it to renew fuzz/corpus/.
//   fuzz_make_seeds FOLDER

#include "app/launch_arguments.h"
#include "meter/meter_responses.h"
#include "security/signature_service.h"
#include "storage/journal.h"
#include "storage/settings.h"
#include "storage/signed_envelope.h"
#include "storage/zmd_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace zelmar;

namespace {

std::filesystem::path root;

void put(const std::string& target, const std::string& name, const std::string& bytes)
{
    std::filesystem::create_directories(root / target);
    std::ofstream(root / target / name, std::ios::binary) << bytes;
}

std::string text(const std::vector<std::uint8_t>& bytes)
{
    return { bytes.begin(), bytes.end() };
}

std::vector<JournalRecord> records()
{
    return {
        { 1714542312.0, 2, 1, "12.34", 12.34, "V" },
        { 1714542313.5, 6, 4, "OL", std::nullopt, "M\u03A9" },
        { 1714542314.0, 3, 0, "-52.4", -52.4, "mV" },
        { 1714542315.0, 9, 2, "a\"b\\c", std::nullopt, "" },
    };
}

// A version resource block: VS_VERSION_INFO, its fixed part, one string
// table with a product version.
std::string versionBlock()
{
    std::vector<std::uint8_t> b;
    const auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const auto key = [&](std::u16string_view k) {
        for (char16_t c : k)
            u16(static_cast<std::uint16_t>(c));
        u16(0);
        while (b.size() % 4 != 0)
            b.push_back(0);
    };
    const auto patch = [&](std::size_t at, std::size_t length, std::uint16_t valueLength, std::uint16_t type) {
        b[at] = static_cast<std::uint8_t>(length);
        b[at + 1] = static_cast<std::uint8_t>(length >> 8);
        b[at + 2] = static_cast<std::uint8_t>(valueLength);
        b[at + 3] = static_cast<std::uint8_t>(valueLength >> 8);
        b[at + 4] = static_cast<std::uint8_t>(type);
    };
    b.resize(6);
    key(u"VS_VERSION_INFO");
    const std::uint32_t fixed[13] = { 0xFEEF04BD, 0x00010000, 0x00010000, 0, 0x00010000, 0 };
    for (std::uint32_t word : fixed) {
        u16(static_cast<std::uint16_t>(word));
        u16(static_cast<std::uint16_t>(word >> 16));
    }
    const std::size_t files = b.size();
    b.resize(files + 6);
    key(u"StringFileInfo");
    const std::size_t table = b.size();
    b.resize(table + 6);
    key(u"040904B0");
    const std::size_t entry = b.size();
    b.resize(entry + 6);
    key(u"ProductVersion");
    for (char16_t c : std::u16string_view(u"1.0.0"))
        u16(static_cast<std::uint16_t>(c));
    u16(0);
    patch(entry, b.size() - entry, 6, 1);
    patch(table, b.size() - table, 0, 1);
    patch(files, b.size() - files, 0, 1);
    patch(0, b.size(), 52, 0);
    return { b.begin(), b.end() };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds FOLDER\n");
        return 2;
    }
    root = argv[1];
    const auto journal = JournalWriter::encode(records(), 8 * 3600);
    if (!journal)
        return 1;
    std::size_t line = 0;
    for (std::size_t at = 0, next; at < journal->size(); at = next + 1, ++line) {
        next = journal->find('\n', at);
        put("journal_line", "line-" + std::to_string(line), journal->substr(at, next - at));
    }
    put("journal_line", "general", *generalLine({ 253402300800.0, 2, 1, "1.0", 1.0, "V" }, 0));

    const ZmdDocument document { "DMM-5174K", "ZELMAR DMM-5174K 1.0.0", 1714542320.0, 1, records() };
    const auto file = ZmdFile::encode(document, ZmdSignatureService::shared());
    if (!file)
        return 1;
    put("zmd_open", "three-records.zmd", *file);
    put("zmd_payload", "payload.json", SignedJSONEnvelope::parse(*file)->payloadBytes());

    AppSettings settings;
    settings.language = "zh-TW";
    settings.recordInterval = 5;
    settings.lastSaveDirectory = "C:\\Users\\u\\Documents";
    settings.windowPlacement = WindowPlacement { 10, 20, 1200, 820, false };
    settings.lastUpdateCheck = 1714542320.0;
    settings.skippedUpdateVersion = "1.0.1";
    put("settings", "settings.json", SettingsStore::encode(settings));

    DMMDisplayFrame frame { 2, 1, " 12.34 ", 40, {} };
    put("meter_report", "display", text(MeterResponses::displayReport(frame)));
    frame = { 6, 4, "   OL  ", 0, {} };
    put("meter_report", "overload", text(MeterResponses::displayReport(frame)));
    put("meter_report", "model", text(MeterResponses::modelReport("DMM-5174K")));
    put("meter_report", "acknowledge", text(MeterResponses::acknowledgeReport()));

    put("launch", "message", text(*OpenDocumentMessage::encode(u"C:\\Users\\u\\Documents\\run.zmd")));
    put("launch", "non-ascii", text(*OpenDocumentMessage::encode(u"D:\\\u91CF\u6E2C\\\U0001F600.zmd")));

    put("version_resource", "product-version", versionBlock());

    put("update_manifest", "payload.json",
        R"({"name":"ZELMAR DMM-5174K","format":"ZELMAR-UPDATE","formatVersion":1,"latest":"1.0.1","versions":[)"
        R"({"version":"1.0.1","channel":"stable","release_date":"2026-12-01","mandatory":false,)"
        R"("notes":{"en-US":"Faster saves.","zh-TW":"\u5b58\u6a94\u66f4\u5feb"},"url":"https://example.invalid/setup.exe",)"
        R"("size":3149966,"sha256":"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"}]})");
    std::printf("seeds written to %s\n", root.string().c_str());
    return 0;
}
