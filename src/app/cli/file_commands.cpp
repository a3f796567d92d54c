// The file commands: info, verify, export, decode, journal.

#include "app/cli/arguments.h"
#include "app/cli/cli.h"
#include "app/cli/output_files.h"
#include "app/cli/terminal.h"
#include "app/console.h"
#include "app/instance_lock.h"
#include "app/version_resource.h"
#include "core/limits.h"
#include "core/statistics.h"
#include "core/units.h"

#include "meter/protocol.h"
#include "security/signature_service.h"
#include "session/dmm_session.h"
#include "session/session_time_format.h"
#include "storage/csv_exporter.h"
#include "storage/file_io.h"
#include "storage/journal.h"
#include "storage/settings.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"
#include "ui/chart_model.h"
#include "ui/chart_picture.h"
#include "ui/png_encode.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace zelmar::cli {

namespace {

constexpr std::string_view kModel = "DMM-5174K";

// The one-line refusal and exit status for each way a file fails to open.
int refuse(Context& context, const ZmdError& error, const std::string& file)
{
    const AppLanguage l = context.language;
    std::string message;
    int status = exitFileError;
    switch (error.kind) {
    case ZmdError::Kind::notZmd:
        message = L10n::text(L10nKey::dialogOpenNotZmdBody, l);
        status = exitNotZmd;
        break;
    case ZmdError::Kind::tampered:
        message = L10n::text(L10nKey::dialogOpenTamperedBody, l);
        status = exitTampered;
        break;
    case ZmdError::Kind::unsupportedVersion:
        message = L10n::text(L10nKey::dialogOpenUnsupportedVersionBody, l);
        status = exitNewerVersion;
        break;
    case ZmdError::Kind::modelMismatch:
        message = L10n::openRefusedOtherModel(l, error.text);
        status = exitOtherModel;
        break;
    case ZmdError::Kind::io:
        message = L10n::openFailed(l, l == AppLanguage::enUS ? englishReason(error.text) : error.text);
        status = exitFileError;
        break;
    }
    std::fprintf(context.err, "%s: %s\n", file.c_str(), message.c_str());
    return status;
}

// A time with its offset from UTC, as ISO 8601 has it.
std::string isoTime(double instant)
{
    return canonicalTimestamp(instant, LocalTimeZone::currentOffsetSeconds())
        .value_or(SessionTimeFormat::dateTime(instant));
}

// Says why a file could not be written; false.
bool fileWriteFailed(Context& context, const OutputFile& output, const StorageError& error)
{
    const AppLanguage l = context.language;
    const std::string reason = error.detail.empty() ? error.text() : error.detail;
    std::fprintf(context.err, "%s%s%s\n",
        L10n::exportFailed(l, l == AppLanguage::enUS ? englishReason(reason) : reason).c_str(),
        pick(l, "：", ": ").c_str(), output.text.c_str());
    return false;
}

// Writes bytes to a file (atomically) or to standard output ("-").
bool writeOutput(Context& context, const OutputFile& output, const std::string& bytes)
{
    const AppLanguage l = context.language;
    if (output.isStandardOutput()) {
        console::useBinaryStandardOutput(); // the CSV's own CR LF, unchanged
        const bool ok
            = std::fwrite(bytes.data(), 1, bytes.size(), context.out) == bytes.size() && std::fflush(context.out) == 0;
        if (!ok)
            std::fprintf(context.err, "%s\n",
                L10n::exportFailed(l, pick(l, "標準輸出已關閉", "standard output is closed")).c_str());
        return ok;
    }
    if (auto written = writeFileAtomically(output.path(), bytes); !written)
        return fileWriteFailed(context, output, written.error());
    return true;
}

// The CSV of records in the context's language, to a file (streamed into
// it, atomically) or to standard output.
bool writeCsv(Context& context, const OutputFile& output, const CompactReadings& records)
{
    const AppLanguage l = context.language;
    const std::string overload(L10n::text(L10nKey::overload, l));
    const auto functionName = [l](DmmFunction f) { return L10n::functionName(f, l); };
    if (output.isStandardOutput())
        return writeOutput(context, output, csvDocument(csvHeader(l), records, overload, functionName));
    const auto written = writeCsvFile(output.path(), csvHeader(l), records, overload, functionName);
    return written || fileWriteFailed(context, output, written.error());
}

std::expected<ZmdReadings, ZmdError> openFile(const std::string& path)
{
    return ZmdFile::openReadings(std::filesystem::u8path(path), kModel, ZmdSignatureService::shared());
}

struct Statistics : RunningStatistics {
    int code = -1;
    std::string function;
    std::string unit;
};

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

} // namespace

int runInfo(const std::vector<std::string>& args, Context& context)
{
    auto parsed
        = parseArguments(args, { { "--json" }, { "--lang", OptionSpec::Value::required }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "info", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs("usage: dmm5174k info FILE.zmd [--json] [--lang zh-TW|en-US]\n"
                   "Times carry their offset from UTC (ISO 8601); with --json, function names are the fixed\n"
                   "English ones whatever the language.\n",
            context.out);
        return exitOk;
    }
    if (parsed->positionals.size() != 1)
        return usageError(context, "info", "one FILE.zmd is needed");
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "info", language.error());
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error(), parsed->positionals[0]);

    // Straight from the records, each field worked out as the reading made
    // from it would have it, without making 600,000 readings.
    const CompactReadings& records = document->records;
    const bool asJson = parsed->has("--json");
    std::map<std::pair<int, std::string>, Statistics> groups;
    // Records come in long runs of one function and unit: the group of the
    // previous record is tried first, and a group is named once.
    // A record's group and value come from its function, range and text
    // alone, which a recording repeats: each is worked out once.
    struct Worked {
        Statistics* group = nullptr;
        std::optional<double> value;
    };
    RecordMemo<Worked> memo;
    Statistics* group = nullptr;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CompactReadings::Record r = records.record(i);
        if (const Worked* worked = memo.find(r)) {
            worked->group->add(worked->value);
            continue;
        }
        const std::string_view unit = DMMUnitTable::unit(r.function, r.range).value_or("");
        if (group == nullptr || group->code != r.function || group->unit != unit) {
            auto [found, added] = groups.try_emplace({ r.function, std::string(unit) });
            group = &found->second;
            if (added) {
                group->code = r.function;
                group->function
                    = L10n::functionName(DmmFunction(r.function), asJson ? AppLanguage::enUS : context.language);
                group->unit = unit;
            }
        }
        const auto value = DMMValueParser::parse(r.text);
        group->add(value);
        memo.keep(Worked { group, value });
    }
    const bool any = !records.empty();
    const std::string first = any ? isoTime(records.record(0).t) : "";
    const std::string last = any ? isoTime(records.record(records.size() - 1).t) : "";

    if (asJson) {
        nlohmann::ordered_json json;
        json["model"] = document->model;
        json["software"] = document->software;
        json["savedAt"] = isoTime(document->savedAt);
        json["recordCount"] = records.size();
        json["deletedCount"] = document->deletedCount;
        json["first"] = any ? nlohmann::ordered_json(first) : nlohmann::ordered_json(nullptr);
        json["last"] = any ? nlohmann::ordered_json(last) : nlohmann::ordered_json(nullptr);
        json["functions"] = nlohmann::ordered_json::array();
        for (const auto& [key, s] : groups) {
            nlohmann::ordered_json g { { "code", key.first }, { "function", s.function }, { "unit", s.unit },
                { "count", s.count() }, { "overloads", s.overloads() } };
            if (s.values() > 0) {
                g["min"] = s.minimum();
                g["max"] = s.maximum();
                g["mean"] = s.mean();
                g["stddev"] = s.deviation();
            }
            json["functions"].push_back(std::move(g));
        }
        std::fprintf(context.out, "%s\n", json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return exitOk;
    }

    const AppLanguage l = context.language;
    std::fprintf(context.out, "%s %s\n%s %s\n%s %s\n%s %zu\n%s %lld\n", pick(l, "型號：", "Model:   ").c_str(),
        document->model.c_str(), pick(l, "軟體：", "Software:").c_str(), document->software.c_str(),
        pick(l, "存檔時間：", "Saved:   ").c_str(), isoTime(document->savedAt).c_str(),
        pick(l, "記錄筆數：", "Records: ").c_str(), records.size(), pick(l, "刪除筆數：", "Deleted: ").c_str(),
        static_cast<long long>(document->deletedCount));
    if (any)
        std::fprintf(
            context.out, "%s %s ~ %s\n", pick(l, "時間範圍：", "From/to: ").c_str(), first.c_str(), last.c_str());
    for (const auto& [key, s] : groups) {
        std::fprintf(
            context.out, "  %s [%s]: %lld", s.function.c_str(), s.unit.c_str(), static_cast<long long>(s.count()));
        if (s.overloads() > 0)
            std::fprintf(
                context.out, pick(l, "（OL %lld）", " (OL %lld)").c_str(), static_cast<long long>(s.overloads()));
        if (s.values() > 0)
            std::fprintf(context.out, "  min %s  max %s  mean %s  sd %s", number(s.minimum()).c_str(),
                number(s.maximum()).c_str(), number(s.mean()).c_str(), number(s.deviation()).c_str());
        std::fputc('\n', context.out);
    }
    return exitOk;
}

int runVerify(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args, { { "--lang", OptionSpec::Value::required }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "verify", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs("usage: dmm5174k verify FILE.zmd... [--lang zh-TW|en-US]\n"
                   "One line per file. Exit status, the worst of all files: 0 all open, 3 not a measurement\n"
                   "file, 4 altered (signature), 5 newer format version, 6 another meter model, 7 file error\n",
            context.out);
        return exitOk;
    }
    if (parsed->positionals.empty())
        return usageError(context, "verify", "at least one FILE.zmd is needed");
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "verify", language.error());
    int worst = exitOk;
    for (const std::string& file : parsed->positionals) {
        const auto document = openFile(file);
        if (!document) {
            worst = std::max(worst, refuse(context, document.error(), file));
            continue;
        }
        std::fprintf(context.out, "%s: %s\n", file.c_str(),
            pick(context.language, "簽章有效，" + std::to_string(document->records.size()) + " 筆記錄",
                "signature valid, " + std::to_string(document->records.size()) + " records")
                .c_str());
    }
    return worst;
}

int runExport(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "-o", OptionSpec::Value::required }, { "--output", OptionSpec::Value::required },
            { "--lang", OptionSpec::Value::required }, { "--force" }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "export", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs("usage: dmm5174k export FILE.zmd -o FILE.csv|- [--force] [--lang zh-TW|en-US]\n"
                   "-o - writes the CSV to standard output; an existing FILE.csv is replaced only with --force.\n",
            context.out);
        return exitOk;
    }
    const auto output = parsed->value("-o") ? parsed->value("-o") : parsed->value("--output");
    if (parsed->positionals.size() != 1 || !output)
        return usageError(context, "export", "one FILE.zmd and -o FILE.csv are needed");
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "export", language.error());
    const AppLanguage l = context.language;
    const OutputFile target { "-o", *output };
    if (auto problem
        = checkOutputs({ target }, { std::filesystem::u8path(parsed->positionals[0]) }, parsed->has("--force"), l))
        return usageError(context, "export", *problem);
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error(), parsed->positionals[0]);
    return writeCsv(context, target, document->records) ? exitOk : exitFailure;
}

int runPlot(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "-o", OptionSpec::Value::required }, { "--output", OptionSpec::Value::required },
            { "--width", OptionSpec::Value::required }, { "--height", OptionSpec::Value::required },
            { "--low", OptionSpec::Value::required }, { "--high", OptionSpec::Value::required },
            { "--lang", OptionSpec::Value::required }, { "--force" }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "plot", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs("usage: dmm5174k plot FILE.zmd -o FILE.png|FILE.svg|- [--width W] [--height H]\n"
                   "                    [--low VALUE] [--high VALUE] [--force] [--lang zh-TW|en-US]\n"
                   "Draws the trend chart of the whole recording as the window does: the last reading's unit\n"
                   "against the value axis, gaps where nothing was measured, overloads marked at the top, and\n"
                   "the limits as dashed lines. The picture is W x H pixels (default 1000 x 400, 100 to 8000);\n"
                   "the name's extension chooses PNG or SVG (- writes SVG to standard output). An existing file\n"
                   "is replaced only with --force.\n",
            context.out);
        return exitOk;
    }
    const auto output = parsed->value("-o") ? parsed->value("-o") : parsed->value("--output");
    if (parsed->positionals.size() != 1 || !output)
        return usageError(context, "plot", "one FILE.zmd and -o FILE.png or FILE.svg are needed");
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "plot", language.error());
    const std::string lower = [&] {
        std::string text = *output;
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }();
    const bool svg = lower == "-" || lower.ends_with(".svg");
    if (!svg && !lower.ends_with(".png"))
        return usageError(context, "plot", "-o names a .png or .svg file (or - for SVG on standard output)");
    ui::ChartPictureRequest request;
    for (auto [name, side] : { std::pair { "--width", &request.width }, std::pair { "--height", &request.height } }) {
        if (auto v = parsed->value(name)) {
            const auto number = parseWholeNumber(*v, ui::minimumPictureSide, ui::maximumPictureSide);
            if (!number)
                return usageError(context, "plot", std::string(name) + " takes a whole number from 100 to 8000");
            *side = static_cast<int>(*number);
        }
    }
    const auto limits = parseLimitOptions(*parsed);
    if (!limits)
        return usageError(context, "plot", limits.error());
    if (limits->any())
        request.limits = *limits;
    const OutputFile target { "-o", *output };
    if (auto problem = checkOutputs(
            { target }, { std::filesystem::u8path(parsed->positionals[0]) }, parsed->has("--force"), context.language))
        return usageError(context, "plot", *problem);
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error(), parsed->positionals[0]);

    // Straight from the records, as info reads them, without making readings.
    ui::ChartSeries series;
    series.reserve(document->records.size());
    for (std::size_t i = 0; i < document->records.size(); ++i) {
        const CompactReadings::Record r = document->records.record(i);
        const std::string_view unit = DMMUnitTable::unit(r.function, r.range).value_or("");
        series.append(r.t, r.function, unit, DMMValueParser::parse(r.text), r.text);
    }
    request.series = &series;
    request.language = context.language;
    request.formatTime = [](double t) { return SessionTimeFormat::time(t); };
    if (svg)
        return writeOutput(context, target, ui::drawChartSvg(request)) ? exitOk : exitFailure;
    const ui::ChartPixels pixels = ui::drawChartPixels(request);
    const std::vector<std::uint8_t> png = ui::encodePng(pixels.width, pixels.height, pixels.pixels);
    return writeOutput(context, target, std::string(png.begin(), png.end())) ? exitOk : exitFailure;
}

int runDecode(const std::vector<std::string>& args, Context& context)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs("usage: dmm5174k decode HEX...   (for example: 00 00 AB CD 00 02 31 ...)\n", context.out);
        return exitOk;
    }
    std::string hex;
    for (const std::string& arg : args) {
        std::string piece = arg;
        if (piece.starts_with("0x") || piece.starts_with("0X"))
            piece = piece.substr(2);
        for (char c : piece)
            if (c != ' ' && c != ':' && c != ',')
                hex += c;
    }
    const auto bytes = decodeHex(hex);
    if (hex.empty() || !bytes)
        return usageError(context, "decode", "the report must be given as hexadecimal bytes");
    const auto frame = DMMProtocol::decodeDisplay(*bytes);
    if (!frame) {
        const char* check = "";
        switch (DMMProtocol::checkDisplay(*bytes)) {
        case DMMProtocol::DisplayCheck::length:
            check = "too short: a display report has 21 bytes at least";
            break;
        case DMMProtocol::DisplayCheck::header:
            check = "bytes 2 and 3 are not AB CD";
            break;
        case DMMProtocol::DisplayCheck::checksum:
            check = "the checksum (bytes 19 and 20) does not match the sum of bytes 2 to 18";
            break;
        case DMMProtocol::DisplayCheck::range:
            check = "byte 6 is not a range digit '0' to '9'";
            break;
        case DMMProtocol::DisplayCheck::text:
            check = "the display text (bytes 7 to 13) is not ASCII";
            break;
        case DMMProtocol::DisplayCheck::passes:
            break;
        }
        std::string all;
        for (std::size_t i = 0; i < bytes->size(); ++i) {
            char hexByte[4];
            std::snprintf(hexByte, sizeof hexByte, "%02X", (*bytes)[i]);
            all += (i > 0 ? " " : "") + std::string(hexByte);
        }
        std::fprintf(
            context.err, "not a display report: %s\nreport (%zu bytes): %s\n", check, bytes->size(), all.c_str());
        return exitFailure;
    }
    const Reading r(0, frame->functionCode, frame->rangeIndex, frame->displayText, {}, frame->barGraph);
    const AppLanguage l = chooseLanguage(nullptr);
    std::fprintf(context.out, "function %u (%s), range %d, text \"%s\", value %s, unit \"%s\", bar %d\n",
        frame->functionCode, L10n::functionName(r.function(), l).c_str(), frame->rangeIndex, frame->displayText.c_str(),
        r.value() ? number(*r.value()).c_str() : "none (OL or blank)", r.unit().c_str(), frame->barGraph);
    const auto& f = frame->flags;
    const std::pair<bool, const char*> flags[] = { { f.rel, "REL" }, { f.hold, "HOLD" }, { f.min, "MIN" },
        { f.max, "MAX" }, { f.apo, "APO" }, { f.manualRange, "MANU" }, { f.lowBattery, "BAT" }, { f.hvWarning, "HV" },
        { f.acFlag, "AC" }, { f.peakMax, "P-MAX" }, { f.peakMin, "P-MIN" }, { f.barNegative, "BAR-" } };
    std::fputs("flags:", context.out);
    for (const auto& [on, name] : flags)
        if (on)
            std::fprintf(context.out, " %s", name);
    std::fputc('\n', context.out);
    return exitOk;
}

int runJournal(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "--data-dir", OptionSpec::Value::required }, { "--export", OptionSpec::Value::required }, { "--force" },
            { "--discard" }, { "--lang", OptionSpec::Value::required }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "journal", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs("usage: dmm5174k journal [--export FILE.zmd|FILE.csv|-] [--force] [--discard] [--data-dir DIR]\n"
                   "Shows what a journal left in the data directory holds, without touching it. --export writes\n"
                   "it as a signed .zmd file or as CSV (- for standard output); --discard then deletes it (alone,\n"
                   "it deletes it at once).\n",
            context.out);
        return exitOk;
    }
    if (!parsed->positionals.empty())
        return usageError(context, "journal", "unexpected argument " + parsed->positionals[0]);
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "journal", language.error());
    const AppLanguage l = context.language;
    const auto dir = parsed->value("--data-dir");
    const PathProvider paths(dir ? std::optional(std::filesystem::u8path(*dir)) : std::nullopt);
    const auto data = paths.baseDirectory();
    const auto journal = DMMSession::journalPath(data);
    std::optional<OutputFile> target;
    if (auto v = parsed->value("--export"))
        target = OutputFile { "--export", *v };
    if (target) {
        if (auto problem = checkOutputs({ *target }, dataDirectoryFiles(data), parsed->has("--force"), l))
            return usageError(context, "journal", *problem);
    }
    std::error_code ec;
    if (parsed->has("--discard") && !target && !std::filesystem::exists(journal, ec)) {
        std::fprintf(
            context.out, "%s\n", pick(l, "沒有緩衝檔：", "no journal to delete: ").append(pathText(journal)).c_str());
        return exitOk;
    }

    if (!target && !parsed->has("--discard")) {
        // Read only: nothing is trimmed, cleaned up or deleted here.
        const auto replayed = JournalReplayer::replay(journal);
        if (replayed.records.empty()) {
            std::fprintf(context.out, "%s\n",
                pick(l, "沒有待恢復的記錄：", "no records to recover: ").append(pathText(journal)).c_str());
            return exitOk;
        }
        std::fprintf(context.out, "%s %s\n%s %zu\n%s %s ~ %s\n%s %d\n", pick(l, "緩衝檔：", "journal:").c_str(),
            pathText(journal).c_str(), pick(l, "記錄筆數：", "records:").c_str(), replayed.records.size(),
            pick(l, "時間範圍：", "from/to:").c_str(), isoTime(replayed.records.front().t).c_str(),
            isoTime(replayed.records.back().t).c_str(), pick(l, "損毀而略過的行：", "damaged lines:").c_str(),
            replayed.droppedLineCount);
        return exitOk;
    }

    // Deleting needs the data directory to itself: never under a recording.
    std::optional<InstanceLock> lock;
    if (parsed->has("--discard")) {
        auto acquired = InstanceLock::acquire(data);
        if (!acquired) {
            std::fprintf(context.err, "%s\n", lockedMessage(l, acquired.error()).c_str());
            return exitLocked;
        }
        lock = std::move(*acquired);
    }
    if (target) {
        auto recovery = DMMSession::pendingRecovery(data);
        if (!recovery) {
            std::fprintf(context.err, "%s\n",
                pick(l, "沒有待恢復的記錄：", "no records to export: ").append(pathText(journal)).c_str());
            return exitFailure;
        }
        const std::string name = target->isStandardOutput() ? "-" : pathText(target->path());
        const bool zmd = !target->isStandardOutput() && target->path().extension() == ".zmd";
        if (zmd) {
            const ZmdReadings document { std::string(kModel), softwareText(loadApplicationVersion()),
                PollingEngine::now(), recovery->deletedCount, recovery->records };
            auto saved = ZmdFile::saveReadings(document, target->path(), ZmdSignatureService::shared());
            if (!saved) {
                std::fprintf(context.err, "%s%s%s\n", L10n::saveFailed(l, describe(saved.error())).c_str(),
                    pick(l, "：", ": ").c_str(), name.c_str());
                return exitFailure;
            }
        } else if (!writeCsv(context, *target, recovery->records)) {
            return exitFailure;
        }
        std::fprintf(context.err, "%s%zu%s%s\n", pick(l, "已匯出 ", "exported ").c_str(), recovery->records.size(),
            pick(l, " 筆記錄：", " records: ").c_str(), name.c_str());
    }
    if (parsed->has("--discard")) {
        if (auto removed = removeFileIfExists(journal); !removed) {
            std::fprintf(context.err, "%s\n", removed.error().text().c_str());
            return exitFailure;
        }
        (void)removeFileIfExists(DMMSession::metaPath(data));
        (void)removeFileIfExists(keptMarkerPath(data));
        std::fprintf(
            context.err, "%s%s\n", pick(l, "已刪除緩衝檔：", "journal deleted: ").c_str(), pathText(journal).c_str());
    }
    return exitOk;
}

} // namespace zelmar::cli
