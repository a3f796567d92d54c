// The file commands: info, verify, export, decode, journal.

#include "app/cli/arguments.h"
#include "app/cli/cli.h"

#include "meter/protocol.h"
#include "security/signature_service.h"
#include "session/dmm_session.h"
#include "session/session_time_format.h"
#include "storage/journal.h"
#include "storage/settings.h"
#include "storage/zmd_file.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <map>

namespace zelmar::cli {

namespace {

constexpr std::string_view kModel = "DMM-5174K";

// The one-line refusal and exit status for each way a file fails to open.
int refuse(Context& context, const ZmdError& error)
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
        message = L10n::openFailed(l, error.text);
        status = exitFileError;
        break;
    }
    std::fprintf(context.err, "%s\n", message.c_str());
    return status;
}

std::expected<ZmdDocument, ZmdError> openFile(const std::string& path)
{
    return ZmdFile::open(std::filesystem::u8path(path), kModel, ZmdSignatureService::shared());
}

struct Statistics {
    std::string function;
    std::string unit;
    std::int64_t count = 0;
    std::int64_t overloads = 0;
    double minimum = 0, maximum = 0, mean = 0, m2 = 0;

    void add(std::optional<double> value)
    {
        ++count;
        if (!value) {
            ++overloads;
            return;
        }
        const auto n = static_cast<double>(count - overloads);
        if (n == 1) {
            minimum = maximum = *value;
        } else {
            minimum = std::min(minimum, *value);
            maximum = std::max(maximum, *value);
        }
        const double delta = *value - mean; // Welford: stable for long series
        mean += delta / n;
        m2 += delta * (*value - mean);
    }
    [[nodiscard]] std::int64_t values() const { return count - overloads; }
    [[nodiscard]] double deviation() const
    {
        return values() > 1 ? std::sqrt(m2 / static_cast<double>(values() - 1)) : 0;
    }
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
    auto parsed = parseArguments(args, { { "--json" }, { "--lang", OptionSpec::Value::required }, { "--help" } });
    if (!parsed)
        return usageError(context, "info", parsed.error());
    if (parsed->has("--help")) {
        std::fputs("usage: dmm5174k info FILE.zmd [--json] [--lang zh-TW|en-US]\n", context.out);
        return exitOk;
    }
    if (parsed->positionals.size() != 1)
        return usageError(context, "info", "one FILE.zmd is needed");
    const auto lang = parsed->value("--lang");
    context.language = chooseLanguage(lang ? &*lang : nullptr);
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error());

    const auto readings = DMMSession::readings(document->records);
    std::map<std::pair<int, std::string>, Statistics> groups;
    for (const Reading& r : readings) {
        auto& s = groups[{ r.function().code(), r.unit() }];
        s.function = L10n::functionName(r.function(), context.language);
        s.unit = r.unit();
        s.add(r.value());
    }
    const bool any = !readings.empty();
    const std::string first = any ? SessionTimeFormat::dateTime(readings.front().timestamp()) : "";
    const std::string last = any ? SessionTimeFormat::dateTime(readings.back().timestamp()) : "";

    if (parsed->has("--json")) {
        nlohmann::ordered_json json;
        json["model"] = document->model;
        json["software"] = document->software;
        json["savedAt"] = SessionTimeFormat::dateTime(document->savedAt);
        json["recordCount"] = readings.size();
        json["deletedCount"] = document->deletedCount;
        json["first"] = any ? nlohmann::ordered_json(first) : nlohmann::ordered_json(nullptr);
        json["last"] = any ? nlohmann::ordered_json(last) : nlohmann::ordered_json(nullptr);
        json["functions"] = nlohmann::ordered_json::array();
        for (const auto& [key, s] : groups) {
            nlohmann::ordered_json g { { "code", key.first }, { "function", s.function }, { "unit", s.unit },
                { "count", s.count }, { "overloads", s.overloads } };
            if (s.values() > 0) {
                g["min"] = s.minimum;
                g["max"] = s.maximum;
                g["mean"] = s.mean;
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
        pick(l, "存檔時間：", "Saved:   ").c_str(), SessionTimeFormat::dateTime(document->savedAt).c_str(),
        pick(l, "記錄筆數：", "Records: ").c_str(), readings.size(), pick(l, "刪除筆數：", "Deleted: ").c_str(),
        static_cast<long long>(document->deletedCount));
    if (any)
        std::fprintf(
            context.out, "%s %s ~ %s\n", pick(l, "時間範圍：", "From/to: ").c_str(), first.c_str(), last.c_str());
    for (const auto& [key, s] : groups) {
        std::fprintf(
            context.out, "  %s [%s]: %lld", s.function.c_str(), s.unit.c_str(), static_cast<long long>(s.count));
        if (s.overloads > 0)
            std::fprintf(
                context.out, pick(l, "（OL %lld）", " (OL %lld)").c_str(), static_cast<long long>(s.overloads));
        if (s.values() > 0)
            std::fprintf(context.out, "  min %s  max %s  mean %s  sd %s", number(s.minimum).c_str(),
                number(s.maximum).c_str(), number(s.mean).c_str(), number(s.deviation()).c_str());
        std::fputc('\n', context.out);
    }
    return exitOk;
}

int runVerify(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args, { { "--lang", OptionSpec::Value::required }, { "--help" } });
    if (!parsed)
        return usageError(context, "verify", parsed.error());
    if (parsed->has("--help")) {
        std::fputs("usage: dmm5174k verify FILE.zmd [--lang zh-TW|en-US]\n"
                   "exit status: 0 opens, 3 not a measurement file, 4 tampered, 5 newer format version,\n"
                   "             6 another meter model, 7 file error\n",
            context.out);
        return exitOk;
    }
    if (parsed->positionals.size() != 1)
        return usageError(context, "verify", "one FILE.zmd is needed");
    const auto lang = parsed->value("--lang");
    context.language = chooseLanguage(lang ? &*lang : nullptr);
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error());
    std::fprintf(context.out, "%s\n",
        pick(context.language, "簽章有效：" + std::to_string(document->records.size()) + " 筆記錄",
            "signature valid: " + std::to_string(document->records.size()) + " records")
            .c_str());
    return exitOk;
}

int runExport(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "-o", OptionSpec::Value::required }, { "--output", OptionSpec::Value::required },
            { "--lang", OptionSpec::Value::required }, { "--help" } });
    if (!parsed)
        return usageError(context, "export", parsed.error());
    if (parsed->has("--help")) {
        std::fputs("usage: dmm5174k export FILE.zmd -o FILE.csv [--lang zh-TW|en-US]\n", context.out);
        return exitOk;
    }
    const auto output = parsed->value("-o") ? parsed->value("-o") : parsed->value("--output");
    if (parsed->positionals.size() != 1 || !output)
        return usageError(context, "export", "one FILE.zmd and -o FILE.csv are needed");
    const auto lang = parsed->value("--lang");
    context.language = chooseLanguage(lang ? &*lang : nullptr);
    const auto document = openFile(parsed->positionals[0]);
    if (!document)
        return refuse(context, document.error());
    const AppLanguage l = context.language;
    const auto readings = DMMSession::readings(document->records);
    const CsvExporter::Row header = csvHeader(l);
    const auto rows = csvRows(readings, std::string(L10n::text(L10nKey::overload, l)),
        [l](DmmFunction f) { return L10n::functionName(f, l); });
    if (auto written = CsvExporter::exportFile(header, rows, std::filesystem::u8path(*output)); !written) {
        std::fprintf(context.err, "%s\n", L10n::exportFailed(l, written.error().text()).c_str());
        return exitFileError;
    }
    return exitOk;
}

int runDecode(const std::vector<std::string>& args, Context& context)
{
    if (!args.empty() && args[0] == "--help") {
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
        std::fprintf(context.err, "%s\n", DMMError::badResponse(*bytes).text().c_str());
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
    auto parsed = parseArguments(args, { { "--data-dir", OptionSpec::Value::required }, { "--help" } });
    if (!parsed)
        return usageError(context, "journal", parsed.error());
    if (parsed->has("--help")) {
        std::fputs("usage: dmm5174k journal [--data-dir DIR]\n", context.out);
        return exitOk;
    }
    const auto dir = parsed->value("--data-dir");
    const PathProvider paths(dir ? std::optional(std::filesystem::u8path(*dir)) : std::nullopt);
    const auto journal = DMMSession::journalPath(paths.baseDirectory());
    const AppLanguage l = chooseLanguage(nullptr);
    // Read only: nothing is trimmed, cleaned up or deleted here.
    const auto replayed = JournalReplayer::replay(journal);
    if (replayed.records.empty()) {
        std::fprintf(context.out, "%s\n",
            pick(l, "沒有待恢復的記錄：", "no records to recover: ").append(journal.string()).c_str());
        return exitOk;
    }
    std::fprintf(context.out, "%s %s\n%s %zu\n%s %s ~ %s\n%s %d\n", pick(l, "緩衝檔：", "journal:").c_str(),
        journal.string().c_str(), pick(l, "記錄筆數：", "records:").c_str(), replayed.records.size(),
        pick(l, "時間範圍：", "from/to:").c_str(), SessionTimeFormat::dateTime(replayed.records.front().t).c_str(),
        SessionTimeFormat::dateTime(replayed.records.back().t).c_str(),
        pick(l, "損毀而略過的行：", "damaged lines:").c_str(), replayed.droppedLineCount);
    return exitOk;
}

} // namespace zelmar::cli
