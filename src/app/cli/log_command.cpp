// dmm5174k log: records from the meter (or the simulator) through the same
// session, journal and files as the GUI, until Ctrl-C, SIGTERM, a hang-up,
// a closed pipe, --count or --duration; then saves what was asked for and
// only after that discards the journal.

#include "app/cli/arguments.h"
#include "app/cli/cli.h"
#include "app/cli/output_files.h"
#include "app/cli/terminal.h"
#include "app/console.h"
#include "app/instance_lock.h"
#include "app/version_resource.h"
#include "core/limits.h"
#include "core/statistics.h"

#include "meter/meter_source.h"
#include "security/signature_service.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"
#include "session/session_time_format.h"
#include "storage/csv_exporter.h"
#include "storage/file_io.h"
#include "storage/settings.h"
#include "storage/timestamp.h"
#include "storage/zmd_file.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace zelmar::cli {

namespace {

const char* const kLogUsage
    = "usage: dmm5174k log [--simulate[=SCENARIO]] [--interval SECONDS] [--count N | --duration SECONDS]\n"
      "                    [--save FILE.zmd] [--csv FILE.csv|-] [--stream csv|json] [--force]\n"
      "                    [--lang zh-TW|en-US] [--data-dir DIR] [--recover restore|discard]\n"
      "                    [--low VALUE] [--high VALUE] [--fail-on-alarm] [--quiet | --verbose]\n"
      "\n"
      "Records one sample every SECONDS (1-3600, default 10), starting with the meter's first reading,\n"
      "until Ctrl-C, SIGTERM, a closed terminal, --count samples or --duration seconds; then writes\n"
      "the requested files. Every sample is journaled at once in the data directory, so a killed\n"
      "logger loses nothing: run it again with --recover restore.\n"
      "\n"
      "  --simulate[=S]   the built-in meter simulator; scenarios: dcv (default), range, overload,\n"
      "                   negative, flags, bargraph, ack, badsum, silent, write-fail, unplug, wide\n"
      "  --save FILE      a signed .zmd file;  --csv FILE  a CSV file (- streams CSV to standard output)\n"
      "  --stream FORMAT  one line per sample on standard output as it is taken: csv, or json lines\n"
      "  --force          replace output files that exist (otherwise the logger refuses to start)\n"
      "  --low, --high    limits: a line on standard error (or beside the samples) when a sample goes\n"
      "                   outside them and when samples are back inside by 1% of the range\n"
      "  --fail-on-alarm  exit with status 10 when any sample was outside the limits\n"
      "  --quiet          no diagnostic lines;  --verbose  every diagnostic line\n"
      "  --data-dir DIR   default: $LOCALAPPDATA/ZelmarDMM5174K, else $XDG_DATA_HOME (or ~/.local/share)\n"
      "                   /ZelmarDMM5174K\n"
      "\n"
      "exit status: 0 saved (or nothing asked), 1 failure or no samples, 2 usage, 8 data directory\n"
      "             in use, 9 a journal from an earlier run is waiting, 10 a sample outside the limits\n"
      "             (with --fail-on-alarm, once the files are written)\n";

enum class Stream { none, csv, json };

struct LogOptions {
    std::string meter; // "" for the real meter, "sim[:scenario]"
    int interval = 10;
    std::optional<long long> count;
    std::optional<long long> duration;
    std::optional<OutputFile> save;
    std::optional<OutputFile> csv;
    Stream stream = Stream::none;
    bool force = false;
    Verbosity verbosity = Verbosity::normal;
    std::optional<std::filesystem::path> dataDirectory;
    std::optional<std::string> recover;
    Limits limits;
    bool failOnAlarm = false;
};

std::string flagsText(const DmmFlags& f)
{
    std::string text;
    const std::pair<bool, const char*> flags[] = { { f.hold, "HOLD" }, { f.rel, "REL" }, { f.min, "MIN" },
        { f.max, "MAX" }, { f.acFlag, "AC" }, { f.manualRange, "MANU" }, { f.lowBattery, "BAT" }, { f.hvWarning, "HV" },
        { f.apo, "APO" }, { f.peakMax, "P-MAX" }, { f.peakMin, "P-MIN" } };
    for (const auto& [on, name] : flags)
        if (on)
            text.append(" ").append(name);
    return text;
}

std::string stateText(const SessionConnectionState& state, AppLanguage l)
{
    switch (state.kind) {
    case SessionConnectionState::Kind::connected:
        return L10n::statusConnected(l, state.model.empty() ? "DMM-5174K" : state.model);
    case SessionConnectionState::Kind::readError:
        return std::string(L10n::text(L10nKey::statusReadError, l));
    case SessionConnectionState::Kind::disconnected:
        break;
    }
    return std::string(L10n::text(L10nKey::statusDisconnected, l));
}

std::string readingText(const Reading& r, AppLanguage l)
{
    return L10n::functionName(r.function(), l) + "  " + (r.value() ? r.text() : std::string("OL")) + " " + r.unit()
        + flagsText(r.flags());
}

std::string clockText(long long seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::expected<LogOptions, std::string> parseLogOptions(const ParsedArguments& p)
{
    LogOptions o;
    if (!p.positionals.empty())
        return std::unexpected("unexpected argument " + p.positionals[0]);
    if (p.has("--simulate")) {
        const std::string scenario = *p.value("--simulate");
        o.meter = scenario.empty() ? "sim" : "sim:" + scenario;
    } else if (const char* hook = std::getenv("ZELMAR_TEST_METER"); hook != nullptr) {
        o.meter = hook;
    }
    if (auto v = p.value("--interval")) {
        const auto interval = parseWholeNumber(*v, 1, 3600);
        if (!interval)
            return std::unexpected("--interval must be a whole number of seconds from 1 to 3600");
        o.interval = static_cast<int>(*interval);
    }
    if (p.has("--count") && p.has("--duration"))
        return std::unexpected("--count and --duration exclude each other");
    if (auto v = p.value("--count")) {
        if (!(o.count = parseWholeNumber(*v, 1, DMMSession::applicationRecordLimit)))
            return std::unexpected("--count must be a whole number from 1 to 600000");
    }
    if (auto v = p.value("--duration")) {
        if (!(o.duration = parseWholeNumber(*v, 1, 366LL * 86'400)))
            return std::unexpected("--duration must be a whole number of seconds");
    }
    if (auto v = p.value("--save")) {
        if (*v == "-")
            return std::unexpected("--save needs a file: a signed .zmd file cannot go to standard output");
        o.save = OutputFile { "--save", *v };
    }
    if (auto v = p.value("--csv"))
        o.csv = OutputFile { "--csv", *v };
    if (auto v = p.value("--stream")) {
        if (*v == "csv")
            o.stream = Stream::csv;
        else if (*v == "json")
            o.stream = Stream::json;
        else
            return std::unexpected("--stream takes csv or json");
    }
    if (o.csv && o.csv->isStandardOutput()) {
        if (o.stream == Stream::json)
            return std::unexpected("--csv - and --stream json both want standard output");
        o.stream = Stream::csv;
        o.csv.reset(); // the rows went out as they were taken
    }
    o.force = p.has("--force");
    if (p.has("--quiet") && p.has("--verbose"))
        return std::unexpected("--quiet and --verbose exclude each other");
    o.verbosity = p.has("--quiet") ? Verbosity::quiet : p.has("--verbose") ? Verbosity::verbose : Verbosity::normal;
    if (auto v = p.value("--data-dir"))
        o.dataDirectory = std::filesystem::u8path(*v);
    else if (const char* hook = std::getenv("ZELMAR_TEST_DATA_DIR"); hook != nullptr && *hook != '\0')
        o.dataDirectory = std::filesystem::u8path(hook);
    auto limits = parseLimitOptions(p);
    if (!limits)
        return std::unexpected(limits.error());
    o.limits = *limits;
    o.failOnAlarm = p.has("--fail-on-alarm");
    if (o.failOnAlarm && !o.limits.any())
        return std::unexpected("--fail-on-alarm needs --low or --high");
    if (auto v = p.value("--recover")) {
        if (*v != "restore" && *v != "discard")
            return std::unexpected("--recover takes restore or discard");
        o.recover = *v;
    }
    return o;
}

// The running minimum, maximum and mean of the current function and unit;
// they start again when the meter's selector moves.
class CurrentStatistics {
public:
    void add(const Reading& r)
    {
        if (r.function().code() != code_ || r.unit() != unit_) {
            figures_.clear();
            code_ = r.function().code();
            unit_ = r.unit();
        }
        figures_.add(r.value());
    }
    [[nodiscard]] std::string text() const
    {
        if (figures_.values() == 0)
            return {};
        return "min " + number(figures_.minimum()) + "  max " + number(figures_.maximum()) + "  mean "
            + number(figures_.mean()) + " " + unit_;
    }

private:
    std::uint8_t code_ = 0;
    std::string unit_;
    RunningStatistics figures_;
};

// A connection change, handed from the polling thread to the main loop.
struct ConnectionEvent {
    SessionConnectionState state;
    double at = 0;
};

// Shared by the polling thread's callback and the main loop, so that a
// callback still running while the loop ends never reaches freed memory.
struct ConnectionEvents {
    std::mutex mutex;
    std::deque<ConnectionEvent> pending;

    void push(const SessionConnectionState& state)
    {
        std::lock_guard lock(mutex);
        pending.push_back({ state, PollingEngine::now() });
    }
    std::deque<ConnectionEvent> take()
    {
        std::deque<ConnectionEvent> taken;
        std::lock_guard lock(mutex);
        taken.swap(pending);
        return taken;
    }
};

class LogRun {
public:
    LogRun(const LogOptions& options, const Context& context, DMMSession& session, Terminal& terminal, bool interactive,
        std::shared_ptr<ConnectionEvents> events)
        : o_(options)
        , l_(context.language)
        , session_(session)
        , terminal_(terminal)
        , interactive_(interactive)
        , events_(std::move(events))
    {
    }

    // Whether every line of the data stream reached its reader.
    [[nodiscard]] bool streamDelivered() const { return !streamBroken_; }
    // Whether any sample was outside the limits.
    [[nodiscard]] bool alarmed() const { return alarmed_; }

    // Samples until a stop.
    void run()
    {
        started_ = std::chrono::steady_clock::now();
        if (o_.stream == Stream::csv)
            emitData(csvHeaderLine());
        if (!waitForFirstReading())
            return;
        handleEvents(); // "connected" before the first sample
        const double startTime = PollingEngine::now();
        SampleScheduler scheduler(o_.interval, startTime);
        record(session_.startRecording(startTime));
        const std::uint32_t tick = SampleScheduler::tickMilliseconds(o_.interval);
        while (!finished()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(tick));
            handleEvents();
            const double now = PollingEngine::now();
            if (scheduler.consumeIfDue(now))
                record(session_.sample(now));
            showStatus();
        }
        terminal_.endStatus();
    }

private:
    [[nodiscard]] long long elapsedSeconds() const
    {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    }

    [[nodiscard]] bool finished() const
    {
        return console::stopRequested() || !session_.isRecording() || (o_.count && taken_ >= *o_.count)
            || (o_.duration && elapsedSeconds() >= *o_.duration);
    }

    // The grid starts with the meter's first valid reading, so the first
    // sample is never lost to a meter that is still waking up.
    bool waitForFirstReading()
    {
        bool toldDenied = false;
        for (;;) {
            if (console::stopRequested() || (o_.duration && elapsedSeconds() >= *o_.duration))
                return false;
            if (session_.latestReading(PollingEngine::now()))
                return true;
            handleEvents();
            if (!toldDenied && o_.meter.empty()) {
                if (const auto node = deniedMeterNode()) {
                    toldDenied = true;
                    terminal_.errorLine(pick(l_,
                        "電錶已連接，但沒有權限開啟 " + *node
                            + "。請安裝 udev 規則（見 README「Using a real meter on Linux」）後重新插上電錶。",
                        "The meter is plugged in, but " + *node
                            + " may not be opened (permission denied). Install the udev rule (see the README, "
                              "\"Using a real meter on Linux\") and plug the meter in again."));
                }
            }
            if (interactive_)
                terminal_.status(pick(l_, "等待電錶讀值… ", "waiting for the meter's first reading... ")
                    + clockText(elapsedSeconds()));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    void record(const SampleOutcome& outcome)
    {
        if (outcome.kind != SampleOutcome::Kind::appended && outcome.kind != SampleOutcome::Kind::appendedAndStopped)
            return;
        ++taken_;
        const Reading& r = *outcome.reading;
        lastSample_ = r.timestamp();
        statistics_.add(r);
        if (o_.stream == Stream::csv)
            emitData(csvLine(r));
        else if (o_.stream == Stream::json)
            emitData(jsonLine(r));
        else if (!interactive_)
            emitData(SessionTimeFormat::dateTime(r.timestamp()) + " #" + std::to_string(outcome.totalCount) + " "
                + readingText(r, l_));
        checkLimits(r);
    }

    // The limits hold for the samples of one function and unit at a time:
    // another one ends an alarm in progress.
    void checkLimits(const Reading& r)
    {
        if (!o_.limits.any())
            return;
        std::pair<std::uint8_t, std::string> key { r.function().code(), r.unit() };
        if (alarmKey_ && *alarmKey_ != key) {
            if (const auto ended = alarm_.stop(r.timestamp()))
                event(pick(l_, "警報結束（" + SessionTimeFormat::dateTime(ended->at) + "）：功能或單位改變",
                    "alarm ended at " + SessionTimeFormat::dateTime(ended->at) + ": the function or unit changed"));
        }
        alarmKey_ = std::move(key);
        const auto change = alarm_.update(r.value(), r.timestamp());
        if (!change)
            return;
        const std::string at = SessionTimeFormat::dateTime(change->at);
        const double value = change->value.value_or(0);
        const std::string unit = r.unit().empty() ? std::string() : " " + r.unit();
        const std::string reading = L10n::figure(value) + unit;
        if (change->started) {
            alarmed_ = true;
            const bool above = o_.limits.high && value > *o_.limits.high;
            const std::string limit = L10n::figure(above ? *o_.limits.high : o_.limits.low.value_or(0)) + unit;
            event(pick(l_, "警報開始（" + at + "）：" + reading + (above ? " 高於上限 " : " 低於下限 ") + limit,
                "alarm started at " + at + ": " + reading + (above ? " above the high limit " : " below the low limit ")
                    + limit));
        } else {
            event(pick(l_, "警報結束（" + at + "）：" + reading, "alarm ended at " + at + ": " + reading));
        }
    }

    // A line of the data stream (standard output). A reader that went away
    // ends the run like Ctrl-C: the recording is saved all the same.
    void emitData(const std::string& text)
    {
        if (!terminal_.line(text)) {
            streamBroken_ = true;
            console::requestStop();
        }
    }

    // Events go where a person or a log file sees them: beside the samples,
    // or on standard error when standard output carries data.
    void event(const std::string& text)
    {
        if (o_.stream != Stream::none)
            terminal_.errorLine(text);
        else
            emitData(text);
    }

    void handleEvents()
    {
        for (const ConnectionEvent& e : events_->take()) {
            const std::string at = SessionTimeFormat::dateTime(e.at);
            switch (e.state.kind) {
            case SessionConnectionState::Kind::disconnected:
                disconnectedAt_ = e.at;
                wasDisconnected_ = true;
                event(pick(l_, "電錶已斷線（" + at + "）", "meter disconnected at " + at));
                break;
            case SessionConnectionState::Kind::readError:
                unreadable_ = true;
                event(pick(l_, "電錶回應無法解讀（" + at + "）", "meter answers are not readable at " + at));
                break;
            case SessionConnectionState::Kind::connected:
                if (wasDisconnected_ && (disconnectedAt_ || lastSample_)) {
                    const double since = lastSample_ ? *lastSample_ : *disconnectedAt_;
                    const auto gap = static_cast<long long>(std::llround(e.at - since));
                    event(pick(l_, "電錶已重新連線（" + at + "）；" + std::to_string(gap) + " 秒沒有樣本",
                        "reconnected at " + at + "; " + std::to_string(gap) + " s without samples"));
                } else if (unreadable_) {
                    event(pick(l_, "電錶回應恢復正常（" + at + "）", "meter answers readable again at " + at));
                } else {
                    event(pick(l_, "電錶已連線：", "meter connected: ")
                        + (e.state.model.empty() ? std::string("DMM-5174K") : e.state.model));
                }
                disconnectedAt_.reset();
                wasDisconnected_ = false;
                unreadable_ = false;
                break;
            }
        }
    }

    void showStatus()
    {
        if (!interactive_)
            return;
        const auto latest = session_.latestReading(PollingEngine::now());
        std::string line = "[" + stateText(session_.connectionState(), l_) + "] "
            + (latest ? readingText(*latest, l_) : std::string("--")) + " | " + clockText(elapsedSeconds()) + " #"
            + std::to_string(session_.recordCount());
        if (o_.count)
            line += pick(l_, "（剩 ", " (") + std::to_string(*o_.count - taken_) + pick(l_, " 筆）", " left)");
        else if (o_.duration)
            line += pick(l_, "（剩 ", " (") + clockText(std::max(0LL, *o_.duration - elapsedSeconds()))
                + pick(l_, "）", " left)");
        if (const std::string stats = statistics_.text(); !stats.empty())
            line += " | " + stats;
        terminal_.status(line);
    }

    [[nodiscard]] std::string csvHeaderLine() const
    {
        CsvExporter::Row header = csvHeader(l_);
        header.insert(header.begin(), "Timestamp");
        std::string out;
        CsvExporter::appendLine(out, header);
        out.resize(out.size() - 2); // the terminal adds the line end
        return out;
    }

    [[nodiscard]] std::string csvLine(const Reading& r) const
    {
        const auto rows = csvRows(std::span(&r, 1), std::string(L10n::text(L10nKey::overload, l_)),
            [this](DmmFunction f) { return L10n::functionName(f, l_); });
        CsvExporter::Row row { canonicalTimestamp(r.timestamp(), LocalTimeZone::currentOffsetSeconds()).value_or("") };
        row.insert(row.end(), rows.front().begin(), rows.front().end());
        std::string out;
        CsvExporter::appendLine(out, row);
        out.resize(out.size() - 2);
        return out;
    }

    [[nodiscard]] static std::string jsonLine(const Reading& r)
    {
        nlohmann::ordered_json json;
        json["t"] = canonicalTimestamp(r.timestamp(), LocalTimeZone::currentOffsetSeconds()).value_or("");
        json["code"] = r.function().code();
        json["function"] = L10n::functionName(r.function(), AppLanguage::enUS);
        json["text"] = r.text();
        json["value"] = r.value() ? nlohmann::ordered_json(*r.value()) : nlohmann::ordered_json(nullptr);
        json["unit"] = r.unit();
        return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }

    const LogOptions& o_;
    const AppLanguage l_;
    DMMSession& session_;
    Terminal& terminal_;
    const bool interactive_;
    std::chrono::steady_clock::time_point started_;
    long long taken_ = 0;
    CurrentStatistics statistics_;
    AlarmMonitor alarm_ { o_.limits };
    std::optional<std::pair<std::uint8_t, std::string>> alarmKey_;
    bool alarmed_ = false;
    std::optional<double> lastSample_;
    std::optional<double> disconnectedAt_;
    bool wasDisconnected_ = false;
    bool unreadable_ = false;
    bool streamBroken_ = false;
    std::shared_ptr<ConnectionEvents> events_;
};

std::string saveFailureReason(const ZmdSaveError& error, AppLanguage l)
{
    const auto* zmd = std::get_if<ZmdError>(&error);
    const std::string reason = zmd != nullptr && zmd->kind == ZmdError::Kind::io ? zmd->text : describe(error);
    return l == AppLanguage::enUS ? englishReason(reason) : reason;
}

// Saves what was asked for; true when every requested file was written.
bool saveRequested(const LogOptions& o, const DMMSession& session, Context& context, Terminal& terminal)
{
    const AppLanguage l = context.language;
    bool ok = true;
    if (o.save) {
        const std::string name = pathText(o.save->path());
        const ZmdReadings document { "DMM-5174K", softwareText(context.version), PollingEngine::now(),
            session.deletedCount(), session.storedRecords() };
        if (auto saved = ZmdFile::saveReadings(document, o.save->path(), ZmdSignatureService::shared()); !saved) {
            terminal.errorLine(L10n::saveFailed(l, saveFailureReason(saved.error(), l)) + pick(l, "：", ": ") + name);
            ok = false;
        } else {
            terminal.errorLine(pick(l, "已存檔：", "saved: ") + name);
        }
    }
    if (o.csv) {
        const std::string name = pathText(o.csv->path());
        const CsvExporter::Row header = csvHeader(l);
        auto exported = session.exportCSV(o.csv->path(), header, std::string(L10n::text(L10nKey::overload, l)),
            [l](DmmFunction f) { return L10n::functionName(f, l); });
        if (!exported) {
            const std::string reason
                = exported.error().detail.empty() ? exported.error().text() : exported.error().detail;
            terminal.errorLine(L10n::exportFailed(l, l == AppLanguage::enUS ? englishReason(reason) : reason)
                + pick(l, "：", ": ") + name);
            ok = false;
        } else {
            terminal.errorLine(pick(l, "已匯出：", "exported: ") + name);
        }
    }
    return ok;
}

std::string pendingJournalMessage(const RecoveryInfo& recovery, bool kept, AppLanguage l)
{
    const auto& r = recovery.records;
    const auto count = static_cast<std::int64_t>(r.size());
    const std::string from = SessionTimeFormat::dateTime(r.record(0).t);
    const std::string to = SessionTimeFormat::dateTime(r.record(r.size() - 1).t);
    const std::string head = kept
        ? pick(l,
            "上一次記錄正常結束時保留了 " + std::to_string(count) + " 筆記錄在緩衝檔中（" + from + "～" + to + "）。",
            "An earlier run ended normally and kept " + std::to_string(count) + " record(s) in the journal (" + from
                + " - " + to + ").")
        : L10n::recoveryQuestion(l, count, from, to);
    return head + "\n"
        + pick(l,
            "請加上 --recover restore（接續並一併存檔）或 --recover discard（刪除）再執行；"
            "或以 dmm5174k journal --export FILE.zmd 先把它存成檔案。",
            "Run again with --recover restore (continue it; its records are saved too) or --recover discard "
            "(delete it), or turn it into a file first with dmm5174k journal --export FILE.zmd.");
}

} // namespace

int runLog(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "--simulate", OptionSpec::Value::optional }, { "--interval", OptionSpec::Value::required },
            { "--count", OptionSpec::Value::required }, { "--duration", OptionSpec::Value::required },
            { "--save", OptionSpec::Value::required }, { "--csv", OptionSpec::Value::required },
            { "--stream", OptionSpec::Value::required }, { "--force" }, { "--quiet" }, { "--verbose" },
            { "--lang", OptionSpec::Value::required }, { "--data-dir", OptionSpec::Value::required },
            { "--recover", OptionSpec::Value::required }, { "--low", OptionSpec::Value::required },
            { "--high", OptionSpec::Value::required }, { "--fail-on-alarm" }, { "--help" }, { "-h" } });
    if (!parsed)
        return usageError(context, "log", parsed.error());
    if (parsed->has("--help") || parsed->has("-h")) {
        std::fputs(kLogUsage, context.out);
        return exitOk;
    }
    if (auto language = languageOption(*parsed, context); !language)
        return usageError(context, "log", language.error());
    auto options = parseLogOptions(*parsed);
    if (!options)
        return usageError(context, "log", options.error());
    const AppLanguage l = context.language;
    const LogOptions& o = *options;

    const PathProvider paths(o.dataDirectory);
    const auto data = paths.baseDirectory();
    std::vector<OutputFile> outputs;
    if (o.save)
        outputs.push_back(*o.save);
    if (o.csv)
        outputs.push_back(*o.csv);
    if (auto problem = checkOutputs(outputs, dataDirectoryFiles(data), o.force, l))
        return usageError(context, "log", *problem);

    std::error_code ec;
    std::filesystem::create_directories(data, ec);
    if (ec || !std::filesystem::is_directory(data)) {
        std::fprintf(context.err, "%s\n",
            pick(l, "無法建立資料夾 " + pathText(data) + "：" + (ec ? ec.message() : "不是資料夾"),
                "cannot create the data directory " + pathText(data) + ": "
                    + (ec ? ec.message() : std::string("not a folder")))
                .c_str());
        return exitFailure;
    }
    auto lock = InstanceLock::acquire(data);
    if (!lock) {
        std::fprintf(context.err, "%s\n", lockedMessage(l, lock.error()).c_str());
        return exitLocked;
    }
    auto port = makeMeterPort(o.meter);
    if (!port)
        return usageError(context, "log", port.error());

    const auto marker = keptMarkerPath(data);
    auto recovery = DMMSession::pendingRecovery(data);
    if (recovery && !o.recover) {
        std::fprintf(
            context.err, "%s\n", pendingJournalMessage(*recovery, std::filesystem::exists(marker, ec), l).c_str());
        return exitJournalPending;
    }

    const bool interactive = o.stream == Stream::none ? console::stdoutIsTerminal() : console::stderrIsTerminal();
    std::FILE* statusStream = !interactive ? nullptr : o.stream == Stream::none ? context.out : context.err;
    Terminal terminal(context.out, context.err, statusStream, o.verbosity, l);

    context.version = loadApplicationVersion(); // for the files it saves; logs where it came from
    DMMSession session(std::move(*port), data);
    session.setOnJournalFailure([&](const std::string& description) {
        terminal.errorLine(std::string(L10n::text(L10nKey::dialogJournalWriteFailedBody, l)) + " "
            + (l == AppLanguage::enUS ? englishReason(description) : description));
    });
    if (recovery) {
        if (*o.recover == "restore")
            session.adoptRecovery(std::move(*recovery));
        else
            session.discardRecovery();
    }
    // From here on the journal is this run's: a crash is a crash again.
    std::filesystem::remove(marker, ec);

    logWhenDevelopmentBuild();
    console::installStopHandler();
    auto events = std::make_shared<ConnectionEvents>();
    session.setOnConnectionChanged([events](const SessionConnectionState& state) { events->push(state); });
    if (!session.start()) {
        terminal.errorLine(pick(l, "無法啟動輪詢執行緒。", "The polling thread could not be started."));
        return exitFailure;
    }

    bool streamed = false;
    bool alarmed = false;
    {
        LogRun run(o, context, session, terminal, interactive, events);
        run.run();
        streamed = o.stream != Stream::none && run.streamDelivered();
        alarmed = run.alarmed();
    }
    // The files are written as always; the status says the limits were crossed.
    const auto succeeded = [&](int status) { return status == exitOk && o.failOnAlarm && alarmed ? exitAlarm : status; };
    session.stopRecording();

    if (session.recordCount() == 0) {
        terminal.errorLine(pick(l, "沒有取得任何樣本：電錶沒有送出有效讀值，未寫入任何檔案。",
            "No samples were taken: the meter gave no valid reading, and no file was written."));
        session.shutdownDiscardingJournal();
        return exitFailure;
    }
    if (!session.journalComplete())
        terminal.errorLine(pick(l, "注意：緩衝檔寫入曾失敗，緩衝檔中並沒有全部的記錄。",
            "Note: writing the journal failed, and it does not hold every record."));

    if (!o.save && !o.csv && streamed) {
        // Every sample reached the stream's reader: that was the output.
        session.shutdownDiscardingJournal();
        return succeeded(exitOk);
    }
    if (!o.save && !o.csv) {
        // Nothing was asked for: the records stay in the journal, on purpose.
        session.shutdownKeepingJournal();
        (void)writeFileAtomically(marker, "");
        terminal.errorLine(pick(l, "記錄保留在緩衝檔中：" + pathText(DMMSession::journalPath(data)),
                               "the records stay in the journal: " + pathText(DMMSession::journalPath(data)))
            + "\n"
            + pick(l, "以 dmm5174k journal --export FILE.zmd（或 FILE.csv）存成檔案，或以 log --recover restore 接續。",
                "Turn them into a file with dmm5174k journal --export FILE.zmd (or FILE.csv), or continue with "
                "log --recover restore."));
        return succeeded(session.journalComplete() ? exitOk : exitFailure);
    }
    if (saveRequested(o, session, context, terminal)) {
        session.shutdownDiscardingJournal();
        return succeeded(exitOk);
    }
    // Whatever was not saved stays in the journal for the next run.
    session.shutdownKeepingJournal();
    terminal.errorLine(pick(l, "記錄保留在緩衝檔中（下次以 --recover restore 接續）：",
                           "the records stay in the journal (continue with --recover restore): ")
        + pathText(DMMSession::journalPath(data)));
    return exitFailure;
}

} // namespace zelmar::cli
