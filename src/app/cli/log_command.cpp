// dmm5174k log: records from the meter (or the simulator) through the same
// session, journal and files as the GUI, until Ctrl-C/SIGTERM, --count or
// --duration; then saves what was asked for and only after that discards
// the journal.

#include "app/cli/arguments.h"
#include "app/cli/cli.h"
#include "app/console.h"
#include "app/instance_lock.h"
#include "app/version_resource.h"

#include "meter/meter_source.h"
#include "security/signature_service.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"
#include "session/session_time_format.h"
#include "storage/settings.h"
#include "storage/zmd_file.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace zelmar::cli {

namespace {

const char* const kLogUsage
    = "usage: dmm5174k log [--simulate[=SCENARIO]] [--interval SECONDS] [--count N | --duration SECONDS]\n"
      "                    [--save FILE.zmd] [--csv FILE.csv] [--lang zh-TW|en-US] [--data-dir DIR]\n"
      "                    [--recover restore|discard]\n"
      "Records one sample every SECONDS (1-3600, default 10) until Ctrl-C, SIGTERM, --count samples\n"
      "or --duration seconds; then writes the requested files. Every sample is journaled at once in\n"
      "the data directory, so a killed logger is recovered with --recover restore.\n";

struct LogOptions {
    std::string meter; // "" for the real meter, "sim[:scenario]"
    int interval = 10;
    std::optional<long long> count;
    std::optional<long long> duration;
    std::optional<std::filesystem::path> save;
    std::optional<std::filesystem::path> csv;
    std::optional<std::filesystem::path> dataDirectory;
    std::optional<std::string> recover;
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

std::expected<LogOptions, std::string> parseLogOptions(const std::vector<std::string>& args, const ParsedArguments& p)
{
    (void)args;
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
    if (auto v = p.value("--save"))
        o.save = std::filesystem::u8path(*v);
    if (auto v = p.value("--csv"))
        o.csv = std::filesystem::u8path(*v);
    if (auto v = p.value("--data-dir"))
        o.dataDirectory = std::filesystem::u8path(*v);
    else if (const char* hook = std::getenv("ZELMAR_TEST_DATA_DIR"); hook != nullptr && *hook != '\0')
        o.dataDirectory = std::filesystem::u8path(hook);
    if (auto v = p.value("--recover")) {
        if (*v != "restore" && *v != "discard")
            return std::unexpected("--recover takes restore or discard");
        o.recover = *v;
    }
    return o;
}

// Saves what was asked for; true when every requested file was written.
bool saveRequested(const LogOptions& o, const DMMSession& session, Context& context)
{
    const AppLanguage l = context.language;
    bool ok = true;
    if (o.save) {
        ZmdDocument document { "DMM-5174K", softwareText(context.version), PollingEngine::now(), session.deletedCount(),
            session.journalRecords() };
        if (auto saved = ZmdFile::save(document, *o.save, ZmdSignatureService::shared()); !saved) {
            const auto* zmd = std::get_if<ZmdError>(&saved.error());
            std::fprintf(context.err, "%s\n",
                L10n::saveFailed(
                    l, zmd != nullptr && zmd->kind == ZmdError::Kind::io ? zmd->text : describe(saved.error()))
                    .c_str());
            ok = false;
        } else {
            std::fprintf(context.err, "%s%s\n", pick(l, "已存檔：", "saved: ").c_str(), o.save->string().c_str());
        }
    }
    if (o.csv) {
        const CsvExporter::Row header = csvHeader(l);
        auto exported = session.exportCSV(*o.csv, header, std::string(L10n::text(L10nKey::overload, l)),
            [l](DmmFunction f) { return L10n::functionName(f, l); });
        if (!exported) {
            std::fprintf(context.err, "%s\n", L10n::exportFailed(l, exported.error().text()).c_str());
            ok = false;
        } else {
            std::fprintf(context.err, "%s%s\n", pick(l, "已匯出：", "exported: ").c_str(), o.csv->string().c_str());
        }
    }
    return ok;
}

} // namespace

int runLog(const std::vector<std::string>& args, Context& context)
{
    auto parsed = parseArguments(args,
        { { "--simulate", OptionSpec::Value::optional }, { "--interval", OptionSpec::Value::required },
            { "--count", OptionSpec::Value::required }, { "--duration", OptionSpec::Value::required },
            { "--save", OptionSpec::Value::required }, { "--csv", OptionSpec::Value::required },
            { "--lang", OptionSpec::Value::required }, { "--data-dir", OptionSpec::Value::required },
            { "--recover", OptionSpec::Value::required }, { "--help" } });
    if (!parsed)
        return usageError(context, "log", parsed.error());
    if (parsed->has("--help")) {
        std::fputs(kLogUsage, context.out);
        return exitOk;
    }
    auto options = parseLogOptions(args, *parsed);
    if (!options)
        return usageError(context, "log", options.error());
    const auto lang = parsed->value("--lang");
    context.language = chooseLanguage(lang ? &*lang : nullptr);
    const AppLanguage l = context.language;
    const LogOptions& o = *options;

    const PathProvider paths(o.dataDirectory);
    const auto data = paths.baseDirectory();
    auto lock = InstanceLock::acquire(data);
    if (!lock) {
        std::fprintf(context.err, "%s\n",
            pick(l, "另一個記錄程式（或主程式）正在使用這個資料夾，無法同時記錄：" + lock.error(),
                "another logger (or the main program) is recording into this data directory: " + lock.error())
                .c_str());
        return exitLocked;
    }
    auto port = makeMeterPort(o.meter);
    if (!port)
        return usageError(context, "log", port.error());

    auto recovery = DMMSession::pendingRecovery(data);
    if (recovery && !o.recover) {
        const auto& r = recovery->records;
        std::fprintf(context.err, "%s\n%s\n",
            L10n::recoveryQuestion(l, static_cast<std::int64_t>(r.size()),
                SessionTimeFormat::dateTime(r.front().timestamp()), SessionTimeFormat::dateTime(r.back().timestamp()))
                .c_str(),
            pick(l, "請加上 --recover restore（接續並一併存檔）或 --recover discard（刪除）再執行。",
                "Run again with --recover restore (continue it; its records are saved too) or --recover discard "
                "(delete it).")
                .c_str());
        return exitJournalPending;
    }

    DMMSession session(std::move(*port), data);
    bool warnedJournal = false;
    session.setOnJournalFailure([&](const std::string& description) {
        warnedJournal = true;
        std::fprintf(context.err, "%s %s\n", std::string(L10n::text(L10nKey::dialogJournalWriteFailedBody, l)).c_str(),
            description.c_str());
    });
    if (recovery) {
        if (*o.recover == "restore")
            session.adoptRecovery(std::move(*recovery));
        else
            session.discardRecovery();
    }

    logWhenDevelopmentBuild();
    console::installStopHandler();
    if (!session.start()) {
        std::fprintf(context.err, "%s\n",
            l == AppLanguage::enUS ? "The polling thread could not be started." : "無法啟動輪詢執行緒。");
        return 1;
    }
    const bool terminal = console::stdoutIsTerminal();
    const auto started = std::chrono::steady_clock::now();
    const std::uint32_t tick = SampleScheduler::tickMilliseconds(o.interval);
    const double startTime = PollingEngine::now();
    SampleScheduler scheduler(o.interval, startTime);
    long long taken = 0;
    const auto record = [&](const SampleOutcome& outcome) {
        if (outcome.kind != SampleOutcome::Kind::appended && outcome.kind != SampleOutcome::Kind::appendedAndStopped)
            return;
        ++taken;
        if (!terminal) {
            const Reading& r = *outcome.reading;
            std::fprintf(context.out, "%s #%d %s\n", SessionTimeFormat::dateTime(r.timestamp()).c_str(),
                outcome.totalCount, readingText(r, l).c_str());
            std::fflush(context.out);
        }
    };
    record(session.startRecording(startTime));

    for (;;) {
        if (console::stopRequested() || !session.isRecording())
            break;
        if (o.count && taken >= *o.count)
            break;
        if (o.duration && std::chrono::steady_clock::now() - started >= std::chrono::seconds(*o.duration))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(tick));
        const double now = PollingEngine::now();
        if (scheduler.consumeIfDue(now))
            record(session.sample(now));
        if (terminal) {
            const auto latest = session.latestReading(PollingEngine::now());
            const std::string line = "[" + stateText(session.connectionState(), l) + "] "
                + (latest ? readingText(*latest, l) : std::string("--")) + "  "
                + L10n::statusRecording(l, session.recordCount(), false);
            std::fprintf(context.out, "\r%-78s", line.c_str());
            std::fflush(context.out);
        }
    }
    if (terminal)
        std::fputc('\n', context.out);
    session.stopRecording();

    const bool nothingRequested = !o.save && !o.csv;
    const bool saved = !nothingRequested && saveRequested(o, session, context);
    if (saved) {
        session.shutdownDiscardingJournal();
        return exitOk;
    }
    // Whatever was not saved stays in the journal for the next run.
    session.shutdownKeepingJournal();
    if (session.recordCount() > 0)
        std::fprintf(context.err, "%s%s\n",
            pick(l, "記錄保留在緩衝檔中（下次以 --recover restore 接續）：",
                "the records stay in the journal (continue with --recover restore): ")
                .c_str(),
            DMMSession::journalPath(data).string().c_str());
    return nothingRequested ? exitOk : (saved ? exitOk : exitFailure);
}

} // namespace zelmar::cli
