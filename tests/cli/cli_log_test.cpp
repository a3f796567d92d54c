// The logger end to end: the real dmm5174k binary records from the
// simulator, is stopped, killed and started again.

#include "session/dmm_session.h"
#include "storage/zmd_file.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace zelmar {
namespace {

using testing::ChildProcess;
using testing::readFile;
using testing::TempDir;

std::vector<std::string> logger(const TempDir& dir, std::vector<std::string> extra)
{
    std::vector<std::string> args { ZELMAR_CLI_PATH, "log", "--simulate", "--interval", "1", "--data-dir",
        dir.path().string() };
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// The next sample line ("... #N ..."); connection events are passed over.
std::optional<std::string> nextSample(ChildProcess& child)
{
    while (auto line = child.readLine())
        if (line->find(" #") != std::string::npos)
            return line;
    return std::nullopt;
}

std::size_t recordsIn(const std::filesystem::path& file)
{
    const auto document = ZmdFile::open(file, "DMM-5174K", ZmdSignatureService::shared());
    EXPECT_TRUE(document) << document.error().description();
    return document ? document->records.size() : 0;
}

TEST(CliLog, SimulatedSessionSavesZmdAndCsv)
{
    TempDir dir;
    const auto zmd = dir / "a.zmd", csv = dir / "a.csv";
    ChildProcess logger_(logger(dir, { "--count", "3", "--save", zmd.string(), "--csv", csv.string() }));
    for (int i = 1; i <= 3; ++i) {
        const auto line = nextSample(logger_);
        ASSERT_TRUE(line);
        EXPECT_NE(line->find("#" + std::to_string(i) + " DC Voltage"), std::string::npos) << *line;
    }
    ASSERT_EQ(logger_.wait(), 0);
    EXPECT_EQ(recordsIn(zmd), 3u);
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path()))); // saved, so discarded
    // The file command's export equals the session's own export.
    ChildProcess exporter(
        { ZELMAR_CLI_PATH, "export", zmd.string(), "-o", (dir / "b.csv").string(), "--lang", "en-US" });
    ASSERT_EQ(exporter.wait(), 0);
    EXPECT_EQ(readFile(csv), readFile(dir / "b.csv"));
}

TEST(CliLog, KilledThenRestoredKeepsEveryRecord)
{
    TempDir dir;
    int before = 0;
    {
        ChildProcess first(logger(dir, { "--count", "100" }));
        for (int i = 0; i < 3; ++i) {
            const auto line = nextSample(first);
            ASSERT_TRUE(line);
            before = std::stoi(line->substr(line->find('#') + 1));
        }
        first.signal(SIGKILL);
        EXPECT_EQ(first.wait(), 128 + SIGKILL);
    }
    ASSERT_GE(before, 3);

    // Without a choice the logger refuses to touch the journal.
    ChildProcess refused(logger(dir, { "--count", "1" }));
    EXPECT_EQ(refused.wait(), 9);

    const auto zmd = dir / "restored.zmd";
    ChildProcess second(logger(dir, { "--count", "2", "--recover", "restore", "--save", zmd.string() }));
    ASSERT_EQ(second.wait(), 0);
    const std::size_t total = recordsIn(zmd);
    EXPECT_GE(total, static_cast<std::size_t>(before) + 2);
    EXPECT_LE(total, static_cast<std::size_t>(before) + 3); // at most the one in flight besides
}

TEST(CliLog, DiscardDropsTheJournal)
{
    TempDir dir;
    {
        ChildProcess first(logger(dir, { "--count", "100" }));
        ASSERT_TRUE(nextSample(first));
        first.signal(SIGKILL);
    }
    const auto zmd = dir / "fresh.zmd";
    ChildProcess second(logger(dir, { "--count", "1", "--recover", "discard", "--save", zmd.string() }));
    ASSERT_EQ(second.wait(), 0);
    EXPECT_EQ(recordsIn(zmd), 1u);
}

TEST(CliLog, SigtermSavesAndASecondLoggerIsRefused)
{
    TempDir dir;
    const auto zmd = dir / "t.zmd";
    ChildProcess first(logger(dir, { "--save", zmd.string() }));
    ASSERT_TRUE(first.readLine());
    ChildProcess second(logger(dir, { "--count", "1" }));
    EXPECT_EQ(second.wait(), 8);
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_GE(recordsIn(zmd), 1u);
    EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path())));
}

TEST(CliLog, AFailedSaveKeepsTheJournal)
{
    TempDir dir;
    // The folder is there at the start and gone by the end.
    std::filesystem::create_directories(dir / "out");
    const auto target = dir / "out" / "x.zmd";
    const auto errors = dir / "stderr.txt";
    ChildProcess logger_(logger(dir, { "--save", target.string(), "--lang", "en-US" }), errors.string());
    ASSERT_TRUE(logger_.readLine());
    std::filesystem::remove_all(dir / "out");
    logger_.signal(SIGTERM);
    EXPECT_EQ(logger_.wait(), 1);
    EXPECT_GE(JournalReplayer::replay(DMMSession::journalPath(dir.path())).records.size(), 1u);
    const std::string said = readFile(errors);
    EXPECT_NE(said.find("Save failed: "), std::string::npos) << said;
    EXPECT_NE(said.find(target.string()), std::string::npos) << said; // names the file
    EXPECT_EQ(said.find(".tmp"), std::string::npos) << said; // never a temporary name
}

// Runs the logger to its end; answers its status, standard output and error.
struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

Finished runToEnd(const std::vector<std::string>& args, const TempDir& dir)
{
    const auto errors = dir / ("stderr-" + std::to_string(std::rand()) + ".txt");
    ChildProcess child(args, errors.string());
    Finished result;
    while (auto line = child.readLine(std::chrono::seconds(60)))
        result.out += *line + "\n";
    result.status = child.wait();
    result.err = readFile(errors);
    return result;
}

bool hasChinese(const std::string& text)
{
    // Lead bytes of the CJK blocks (U+3000 to U+9FFF, U+FF00 to U+FFEF) in UTF-8.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b >= 0xE3 && b <= 0xE9)
            || (b == 0xEF && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0xBC))
            return true;
    }
    return false;
}

TEST(CliLog, TheFirstSampleIsTakenWhenTheMeterFirstAnswers)
{
    TempDir dir;
    // A 60-second grid and a 4-second run: one sample, at the start.
    const auto zmd = dir / "e.zmd";
    const auto own = [&](std::vector<std::string> args) {
        args.insert(args.begin(), { ZELMAR_CLI_PATH, "log", "--simulate", "--data-dir", dir.path().string() });
        return args;
    };
    const auto shortRun = runToEnd(own({ "--interval", "60", "--duration", "4", "--save", zmd.string() }), dir);
    ASSERT_EQ(shortRun.status, 0) << shortRun.err;
    EXPECT_EQ(recordsIn(zmd), 1u);

    // --count 1 is one sample, not one interval.
    const auto started = std::chrono::steady_clock::now();
    const auto one = runToEnd(own({ "--interval", "3600", "--count", "1", "--save", (dir / "one.zmd").string() }), dir);
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(recordsIn(dir / "one.zmd"), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

TEST(CliLog, ARunWithoutSamplesSaysSoAndFails)
{
    TempDir dir;
    const auto zmd = dir / "never.zmd";
    const auto silent = runToEnd({ ZELMAR_CLI_PATH, "log", "--simulate=silent", "--interval", "1", "--duration", "2",
                                     "--save", zmd.string(), "--data-dir", dir.path().string(), "--lang", "en-US" },
        dir);
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.err.find("No samples were taken"), std::string::npos) << silent.err;
    EXPECT_FALSE(std::filesystem::exists(zmd));
    EXPECT_FALSE(DMMSession::pendingRecovery(dir.path()));
}

TEST(CliLog, OutputsAreCheckedBeforeRecordingStarts)
{
    TempDir dir;
    const auto refused = [&](std::vector<std::string> extra, const std::string& named) {
        extra.insert(extra.end(), { "--count", "1", "--lang", "en-US" });
        const auto run = runToEnd(logger(dir, extra), dir);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out; // nothing was recorded
        EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path())));
    };
    // The same file twice, also through another spelling of its path.
    const auto x = dir / "x";
    refused({ "--save", x.string(), "--csv", x.string() }, "name the same file");
    refused({ "--save", x.string(), "--csv", (dir / "." / "x").string() }, "name the same file");
    EXPECT_FALSE(std::filesystem::exists(x));
    // A folder that is not there.
    const auto typo = dir / "no-such-folder" / "a.zmd";
    refused({ "--save", typo.string() }, (dir / "no-such-folder").string());
    // A device, and an existing file.
    refused({ "--csv", "/dev/null" }, "not a regular file");
    testing::writeFile(dir / "old.csv", "precious");
    refused({ "--csv", (dir / "old.csv").string() }, "--force");
    // The program's own files in the data directory, even with --force.
    refused({ "--csv", DMMSession::journalPath(dir.path()).string(), "--force" }, "input file itself");
    refused({ "--save", (dir / "settings.json").string(), "--force" }, "input file itself");
    EXPECT_EQ(readFile(dir / "old.csv"), "precious");
    const auto forced = runToEnd(logger(dir, { "--count", "1", "--csv", (dir / "old.csv").string(), "--force" }), dir);
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_NE(readFile(dir / "old.csv"), "precious");
}

TEST(CliLog, AHangUpOrAClosedPipeSavesLikeCtrlC)
{
    for (const bool hangUp : { true, false }) {
        TempDir dir;
        const auto zmd = dir / "kept.zmd";
        ChildProcess child(logger(dir, { "--save", zmd.string() }));
        ASSERT_TRUE(child.readLine());
        if (hangUp) {
            child.signal(SIGHUP);
        } else {
            // The reader goes away ("| head -1"): the next sample line fails.
            child.closeOutput();
        }
        EXPECT_EQ(child.wait(), 0) << (hangUp ? "SIGHUP" : "closed pipe");
        EXPECT_GE(recordsIn(zmd), 1u);
        EXPECT_FALSE(std::filesystem::exists(DMMSession::journalPath(dir.path())));
    }
}

TEST(CliLog, ADataDirectoryThatCannotBeCreatedIsAnIoError)
{
    TempDir dir;
    testing::writeFile(dir / "file", "x");
    const auto run = runToEnd({ ZELMAR_CLI_PATH, "log", "--simulate", "--count", "1", "--data-dir",
                                  (dir / "file" / "data").string(), "--lang", "en-US" },
        dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot create the data directory " + (dir / "file" / "data").string()), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("another logger"), std::string::npos) << run.err;
}

TEST(CliLog, ACleanRunWithoutFilesKeepsItsJournalAndSaysWhere)
{
    TempDir dir;
    const auto first = runToEnd(logger(dir, { "--count", "2", "--lang", "en-US" }), dir);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("journal --export"), std::string::npos) << first.err;

    // The next run is told the truth: kept on purpose, not a crash.
    const auto next = runToEnd(logger(dir, { "--count", "1", "--lang", "en-US" }), dir);
    EXPECT_EQ(next.status, 9);
    EXPECT_NE(next.err.find("ended normally"), std::string::npos) << next.err;
    EXPECT_EQ(next.err.find("unexpected shutdown"), std::string::npos) << next.err;

    // The journal becomes a file without a new recording, then goes.
    const auto csv = dir / "kept.csv";
    const auto exported = runToEnd(
        { ZELMAR_CLI_PATH, "journal", "--data-dir", dir.path().string(), "--export", csv.string(), "--discard" }, dir);
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string rows = readFile(csv);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3); // header and two rows
    EXPECT_FALSE(DMMSession::pendingRecovery(dir.path()));
    EXPECT_EQ(runToEnd(logger(dir, { "--count", "1", "--save", (dir / "s.zmd").string() }), dir).status, 0);

    // A crash is still called a crash.
    {
        ChildProcess killed(logger(dir, { "--count", "100" }));
        ASSERT_TRUE(nextSample(killed));
        killed.signal(SIGKILL);
    }
    const auto afterCrash = runToEnd(logger(dir, { "--count", "1", "--lang", "en-US" }), dir);
    EXPECT_EQ(afterCrash.status, 9);
    EXPECT_NE(afterCrash.err.find("unexpected shutdown"), std::string::npos) << afterCrash.err;
}

TEST(CliLog, SamplesStreamToStandardOutput)
{
    TempDir dir;
    const auto json = runToEnd(logger(dir, { "--stream", "json", "--count", "3", "--lang", "zh-TW" }), dir);
    ASSERT_EQ(json.status, 0) << json.err;
    std::istringstream lines(json.out);
    std::string line;
    int count = 0;
    const std::regex iso(R"("t":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d")");
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(std::regex_search(line, iso)) << line;
        EXPECT_NE(line.find("\"function\":\"DC Voltage\""), std::string::npos) << line; // English in any language
    }
    EXPECT_EQ(count, 3);
    // Every sample reached the reader: that was the output, and the
    // journal goes as after a save.
    EXPECT_FALSE(DMMSession::pendingRecovery(dir.path()));

    const auto csv = runToEnd(logger(dir, { "--csv", "-", "--count", "2", "--lang", "en-US" }), dir);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("Timestamp,Date,Time,Function,Value,Unit\n", 0), 0u) << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 3);
}

TEST(CliLog, DiagnosticsSpeakTheChosenLanguageOrKeepQuiet)
{
    TempDir dir;
    const auto verbose = runToEnd(
        logger(dir, { "--count", "1", "--lang", "en-US", "--verbose", "--save", (dir / "a.zmd").string() }), dir);
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("[DMMSession] polling thread started (period 500 ms)"), std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find("[DMMApp] version: "), std::string::npos) << verbose.err;
    EXPECT_FALSE(hasChinese(verbose.err)) << verbose.err;
    EXPECT_FALSE(hasChinese(verbose.out)) << verbose.out;

    const auto quiet = runToEnd(
        logger(dir, { "--count", "1", "--lang", "en-US", "--quiet", "--save", (dir / "b.zmd").string() }), dir);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("[DMM"), std::string::npos) << quiet.err;
}

TEST(CliLog, ADisconnectShowsAsLinesWithTheGap)
{
    TempDir dir;
    // The simulator unplugs after ten readings and comes back after two
    // failed opens (about eight seconds later).
    const auto run
        = runToEnd({ ZELMAR_CLI_PATH, "log", "--simulate=unplug", "--interval", "1", "--duration", "20", "--data-dir",
                       dir.path().string(), "--lang", "en-US", "--save", (dir / "u.zmd").string() },
            dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lost = run.out.find("meter disconnected at ");
    const auto back = run.out.find("reconnected at ");
    ASSERT_NE(lost, std::string::npos) << run.out;
    ASSERT_NE(back, std::string::npos) << run.out;
    EXPECT_LT(lost, back);
    EXPECT_TRUE(std::regex_search(run.out.substr(back), std::regex("; \\d+ s without samples"))) << run.out;
}

TEST(CliLog, AnExportThatCannotBeWrittenExitsOne)
{
    TempDir dir;
    const auto zmd = dir / "r.zmd";
    ASSERT_EQ(runToEnd(logger(dir, { "--count", "2", "--save", zmd.string() }), dir).status, 0);
    // A full disk, as the writer sees it: no file may grow at all.
    const auto csv = dir / "r.csv";
    const std::string script = "trap '' XFSZ; ulimit -f 0; exec \"" + std::string(ZELMAR_CLI_PATH) + "\" export \""
        + zmd.string() + "\" -o \"" + csv.string() + "\" --lang en-US 2>&1"; // a pipe has no size limit
    const auto run = runToEnd({ "/bin/bash", "-c", script }, dir);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Export failed: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(csv.string()), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(csv));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST(CliLog, AJournalThatCannotBeWrittenIsReportedInEnglishWithItsFile)
{
    TempDir dir;
    testing::writeFile(dir / "temp", "a file where the journal's folder goes");
    const auto run = runToEnd(logger(dir, { "--count", "2", "--lang", "en-US" }), dir);
    // Nothing but the journal was asked for, and the journal failed.
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Failed to write the buffer file"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cannot create the file: " + (dir / "temp" / "current.jsonl").string()), std::string::npos)
        << run.err;
    EXPECT_FALSE(hasChinese(run.err)) << run.err;
    EXPECT_EQ(run.err.find("（"), std::string::npos) << run.err;
}

TEST(CliLog, TheJournalCommandNeverOverwritesTheJournal)
{
    TempDir dir;
    ASSERT_EQ(runToEnd(logger(dir, { "--count", "2" }), dir).status, 0); // kept on purpose
    const std::string journal = readFile(DMMSession::journalPath(dir.path()));
    const auto run = runToEnd({ ZELMAR_CLI_PATH, "journal", "--data-dir", dir.path().string(), "--export",
                                  DMMSession::journalPath(dir.path()).string(), "--force" },
        dir);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(readFile(DMMSession::journalPath(dir.path())), journal);
    const auto nothing = runToEnd(
        { ZELMAR_CLI_PATH, "journal", "--data-dir", (dir / "elsewhere").string(), "--discard", "--lang", "en-US" },
        dir);
    EXPECT_EQ(nothing.status, 0);
    EXPECT_NE(nothing.out.find("no journal to delete"), std::string::npos) << nothing.out;
}


// A line for each alarm that starts and ends, following the samples as the
// limits' rule says; with --fail-on-alarm the status is 10 once the files
// are written, and 0 when no sample went outside.
TEST(CliLog, LimitsPrintTheAlarmsAndFailOnAlarmSetsTheStatus)
{
    TempDir dir;
    const auto zmd = dir / "alarm.zmd";
    const auto always = runToEnd(
        logger(dir, { "--count", "2", "--high", "1", "--fail-on-alarm", "--save", zmd.string(), "--lang", "en-US" }),
        dir);
    EXPECT_EQ(always.status, 10) << always.err;
    EXPECT_EQ(recordsIn(zmd), 2u); // saved all the same
    const std::regex started(R"(alarm started at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d: 12\.\d+ V above the high limit 1 V)");
    EXPECT_TRUE(std::regex_search(always.out, started)) << always.out;
    EXPECT_EQ(always.out.find("alarm ended"), std::string::npos);

    const auto inside = runToEnd(logger(dir, { "--count", "2", "--low", "1", "--high", "100", "--fail-on-alarm",
                                                 "--save", (dir / "in.zmd").string(), "--lang", "zh-TW" }),
        dir);
    EXPECT_EQ(inside.status, 0) << inside.err;
    EXPECT_EQ(inside.out.find("警報"), std::string::npos);

    // Tight limits around the simulator's 12.31 to 12.37 V: every start and
    // end is where the printed samples say.
    const auto tight = runToEnd(logger(dir, { "--count", "6", "--low", "12.325", "--high", "12.345", "--stream", "csv",
                                                "--lang", "en-US" }),
        dir);
    ASSERT_EQ(tight.status, 0) << tight.err; // no --fail-on-alarm: alarms do not fail
    std::istringstream samples(tight.out);
    std::string line;
    bool active = false;
    std::string expected;
    std::getline(samples, line); // the header
    while (std::getline(samples, line)) {
        const double value = std::stod(line.substr(line.find(",DC Voltage,") + 12));
        if (!active && (value < 12.325 || value > 12.345))
            expected += value < 12.325 ? "below" : "above";
        else if (active && value >= 12.325 + 0.0002 && value <= 12.345 - 0.0002)
            expected += "ended";
        else
            continue;
        active = !active;
    }
    std::string printed;
    std::istringstream events(tight.err);
    while (std::getline(events, line)) { // on standard error beside a data stream
        if (line.find("alarm started") != std::string::npos)
            printed += line.find("below") != std::string::npos ? "below" : "above";
        if (line.find("alarm ended") != std::string::npos)
            printed += "ended";
    }
    EXPECT_EQ(printed, expected) << tight.out << tight.err;

    // What makes no sense is refused before anything starts.
    EXPECT_EQ(runToEnd(logger(dir, { "--fail-on-alarm", "--count", "1" }), dir).status, 2);
    EXPECT_EQ(runToEnd(logger(dir, { "--low", "5", "--high", "1", "--count", "1" }), dir).status, 2);
    EXPECT_EQ(runToEnd(logger(dir, { "--high", "12V", "--count", "1" }), dir).status, 2);
}

} // namespace
} // namespace zelmar
