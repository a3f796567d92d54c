// The file commands of the real dmm5174k binary, run as a child process in
// both builds (under Wine for the Windows one).

#include "localization/localization.h"
#include "session/dmm_session.h"
#include "storage/zmd_file.h"
#include "ui/chart_model.h"
#include "support/fixtures.h"
#include "support/picture_check.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <random>
#include <regex>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace zelmar {
namespace {

using testing::readFile;
using testing::TempDir;

struct ToolResult {
    int status = -1;
    std::string out;
};

std::string native(const std::filesystem::path& path)
{
    return path.string();
}

ToolResult runTool(const std::vector<std::string>& args, bool withErrors = false)
{
    std::string command = "\"" + native(testing::hostPath(ZELMAR_CLI_PATH)) + "\"";
    for (const auto& a : args)
        command += " \"" + a + "\"";
#ifdef _WIN32
    std::replace(command.begin(), command.begin() + static_cast<std::ptrdiff_t>(command.find(".exe")), '/', '\\');
    command = "\"" + command + (withErrors ? " 2>&1" : " 2>NUL") + "\""; // cmd.exe strips the outer quotes
    std::FILE* pipe = _popen(command.c_str(), "rb");
#else
    command += withErrors ? " 2>&1" : " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
#endif
    ToolResult result;
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
#ifdef _WIN32
    result.status = _pclose(pipe);
#else
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return result;
}

std::vector<Reading> readings()
{
    std::vector<Reading> r;
    for (int i = 0; i < 6; ++i)
        r.emplace_back(1714542300.0 + i, i < 3 ? 2 : 6, 1, i == 4 ? " OL " : " 1.250", DmmFlags {}, 0);
    return r;
}

std::filesystem::path savedFile(const TempDir& dir)
{
    std::vector<JournalRecord> records;
    for (const Reading& r : readings())
        records.push_back(JournalRecord::from(r));
    const auto path = dir / "rec.zmd";
    EXPECT_TRUE(ZmdFile::save({ "DMM-5174K", "test", 1714542400.0, 1, records }, path, ZmdSignatureService::shared()));
    return path;
}

TEST(CliFiles, VerifyExitStatuses)
{
    TempDir dir;
    const auto good = savedFile(dir);
    EXPECT_EQ(runTool({ "verify", good.string() }).status, 0);

    std::string bytes = readFile(good);
    bytes[bytes.find("1.250") + 2] = '3';
    testing::writeFile(dir / "tampered.zmd", bytes);
    EXPECT_EQ(runTool({ "verify", (dir / "tampered.zmd").string() }).status, 4);

    testing::writeFile(dir / "text.zmd", "hello");
    EXPECT_EQ(runTool({ "verify", (dir / "text.zmd").string() }).status, 3);
    std::string newer = readFile(good);
    newer.replace(newer.find("\"formatVersion\":1"), 17, "\"formatVersion\":7");
    testing::writeFile(dir / "newer.zmd", newer);
    EXPECT_EQ(runTool({ "verify", (dir / "newer.zmd").string() }).status, 5);
    ZmdDocument other { "DMM-9", "test", 1714542400.0, 0, {} };
    ASSERT_TRUE(ZmdFile::save(other, dir / "other.zmd", ZmdSignatureService::shared()));
    EXPECT_EQ(runTool({ "verify", (dir / "other.zmd").string() }).status, 6);
    EXPECT_EQ(runTool({ "verify", (dir / "missing.zmd").string() }).status, 7);
    EXPECT_EQ(runTool({ "verify" }).status, 2);
    EXPECT_EQ(runTool({ "frobnicate" }).status, 2);
    EXPECT_EQ(runTool({ "verify", "--help" }).status, 0);
}

TEST(CliFiles, InfoAndExport)
{
    TempDir dir;
    const auto file = savedFile(dir);
    const auto info = runTool({ "info", file.string(), "--json" });
    ASSERT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("\"recordCount\": 6"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"deletedCount\": 1"), std::string::npos);
    EXPECT_NE(info.out.find("\"overloads\": 1"), std::string::npos);
    EXPECT_NE(info.out.find("\"mean\": 1.25"), std::string::npos);
    EXPECT_EQ(runTool({ "info", file.string(), "--lang", "zh-TW" }).status, 0);

    // The export is the session's CSV, byte for byte.
    const auto csv = dir / "out.csv";
    ASSERT_EQ(runTool({ "export", file.string(), "-o", csv.string(), "--lang", "zh-TW" }).status, 0);
    const auto rows
        = csvRows(DMMSession::readings(ZmdFile::open(file, "DMM-5174K", ZmdSignatureService::shared())->records), "OL",
            [](DmmFunction f) { return L10n::functionName(f, AppLanguage::zhTW); });
    EXPECT_EQ(readFile(csv), CsvExporter::encode({ "日期", "時間", "檔位", "數值", "單位" }, rows));
    EXPECT_NE(readFile(csv).find(",OL,"), std::string::npos);
}

// A recording of noisy volts with a few overloads, saved as a file.
std::filesystem::path noisyFile(const TempDir& dir, int count)
{
    std::mt19937 random(5174);
    std::normal_distribution<double> noise(3.3, 0.4);
    std::vector<JournalRecord> records;
    for (int i = 0; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%6.3f", noise(random));
        records.push_back(JournalRecord::from(
            Reading(1714542300.0 + i, 2, 1, i % 37 == 5 ? " OL " : text, DmmFlags {}, 0)));
    }
    const auto path = dir / "noisy.zmd";
    EXPECT_TRUE(ZmdFile::save({ "DMM-5174K", "test", 1714542400.0, 0, records }, path, ZmdSignatureService::shared()));
    return path;
}

// The window's statistics line and `dmm5174k info` give the same figures
// for the same file.
TEST(CliFiles, TheWindowsStatisticsAgreeWithInfo)
{
    TempDir dir;
    const auto file = noisyFile(dir, 2000);
    const auto info = runTool({ "info", file.string(), "--json" });
    ASSERT_EQ(info.status, 0);
    const auto group = nlohmann::json::parse(info.out)["functions"][0];
    ui::ChartSeries series;
    for (const Reading& r : DMMSession::readings(ZmdFile::open(file, "DMM-5174K", ZmdSignatureService::shared())->records))
        series.append(r);
    const RunningStatistics& s = series.statistics();
    EXPECT_EQ(s.count(), group["count"].get<std::int64_t>());
    EXPECT_EQ(s.overloads(), group["overloads"].get<std::int64_t>());
    EXPECT_EQ(s.minimum(), group["min"].get<double>());
    EXPECT_EQ(s.maximum(), group["max"].get<double>());
    EXPECT_EQ(s.mean(), group["mean"].get<double>());
    EXPECT_EQ(s.deviation(), group["stddev"].get<double>());
    EXPECT_EQ(s.overloads(), 54); // every 37th from the 6th
}

// plot draws the chart as a PNG of the size asked for and as an SVG that is
// well-formed XML; what makes no sense is refused before the file is read.
TEST(CliFiles, PlotDrawsThePictureAskedFor)
{
    TempDir dir;
    const auto file = noisyFile(dir, 600);
    const auto png = dir / "chart.png";
    ASSERT_EQ(runTool({ "plot", file.string(), "-o", png.string(), "--width", "640", "--height", "300", "--high",
                  "4.5" })
                  .status,
        0);
    const auto decoded = testing::decodeStoredPng(readFile(png));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 640);
    EXPECT_EQ(decoded->height, 300);
    const auto colour = [](ui::Rgb c) { return std::uint32_t { c.r } << 16 | std::uint32_t { c.g } << 8 | c.b; };
    const auto pixelsOf = [&](ui::Rgb c) {
        return std::count(decoded->pixels.begin(), decoded->pixels.end(), colour(c));
    };
    EXPECT_GT(pixelsOf(ui::chart_colors::trace), 500); // the trace
    EXPECT_GT(pixelsOf(ui::chart_colors::overload), 10); // the overload marks
    EXPECT_GT(pixelsOf(ui::chart_colors::limit), 100); // the dashed limit
    EXPECT_EQ(decoded->pixels.front(), colour(ui::chart_colors::border));

    const auto svg = dir / "chart.svg";
    ASSERT_EQ(runTool({ "plot", file.string(), "-o", svg.string() }).status, 0);
    const std::string xml = readFile(svg);
    EXPECT_EQ(testing::xmlProblem(xml), std::nullopt);
    EXPECT_NE(xml.find("width=\"1000\" height=\"400\""), std::string::npos);
    EXPECT_NE(xml.find("<polyline points="), std::string::npos);
    EXPECT_EQ(testing::xmlProblem("<svg><g></svg>"), "</svg> closes nothing open"); // the checker checks

    EXPECT_EQ(runTool({ "plot", file.string(), "-o", svg.string() }).status, 2); // exists: --force
    EXPECT_EQ(runTool({ "plot", file.string(), "-o", svg.string(), "--force" }).status, 0);
    EXPECT_EQ(runTool({ "plot", file.string(), "-o", (dir / "chart.txt").string() }).status, 2);
    EXPECT_EQ(runTool({ "plot", file.string(), "-o", (dir / "b.png").string(), "--width", "50" }).status, 2);
    EXPECT_EQ(runTool({ "plot", file.string(), "-o", (dir / "b.png").string(), "--high", "x" }).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.png"));
}

TEST(CliFiles, DecodeAReport)
{
    const auto decoded = runTool({ "decode", "00 00 AB CD 00 02 31 20 31 32 2E 33 34 35 00 00 00 00 00 02 F8" });
    ASSERT_EQ(decoded.status, 0);
    EXPECT_NE(decoded.out.find("function 2"), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("value 12.345"), std::string::npos);
    EXPECT_NE(decoded.out.find("unit \"V\""), std::string::npos);
    EXPECT_EQ(runTool({ "decode", "00 00 AB CD 00 02 31" }).status, 1);
    EXPECT_EQ(runTool({ "decode", "zz" }).status, 2);
}

TEST(CliFiles, VersionAndHelp)
{
    const auto version = runTool({ "--version" });
    EXPECT_EQ(version.status, 0);
    std::string text = version.out;
    std::erase(text, '\r'); // Windows consoles end lines with CR LF
    // Tests build with the development update key, and the program says so.
    EXPECT_EQ(text, std::string("dmm5174k ") + ZELMAR_TEST_PROJECT_VERSION + " (development build)\n");
    EXPECT_EQ(runTool({ "--help" }).status, 0);
    EXPECT_EQ(runTool({ "log", "--help" }).status, 0);
    EXPECT_EQ(runTool({ "log", "--interval", "0" }).status, 2);
    EXPECT_EQ(runTool({ "log", "--count", "2", "--duration", "2" }).status, 2);
    EXPECT_EQ(runTool({ "log", "--recover", "maybe" }).status, 2);
}

TEST(CliFiles, ExportNeverDestroysAFile)
{
    TempDir dir;
    const auto file = savedFile(dir);
    const std::string original = readFile(file);
    // Onto its own input, under any spelling: refused, input untouched.
    for (const auto& same : { file, dir / "." / "rec.zmd" }) {
        const auto run = runTool({ "export", file.string(), "-o", same.string(), "--lang", "en-US" }, true);
        EXPECT_EQ(run.status, 2) << run.out;
        EXPECT_NE(run.out.find("names the input file itself"), std::string::npos) << run.out;
    }
    EXPECT_EQ(readFile(file), original);

    // An existing file only with --force.
    testing::writeFile(dir / "old.csv", "precious");
    const auto kept = runTool({ "export", file.string(), "-o", (dir / "old.csv").string(), "--lang", "en-US" }, true);
    EXPECT_EQ(kept.status, 2);
    EXPECT_NE(kept.out.find("--force"), std::string::npos) << kept.out;
    EXPECT_EQ(readFile(dir / "old.csv"), "precious");
    EXPECT_EQ(runTool({ "export", file.string(), "-o", (dir / "old.csv").string(), "--force" }).status, 0);

    // "-" is standard output, with the same bytes as the file.
    const auto piped = runTool({ "export", file.string(), "-o", "-", "--lang", "en-US" });
    ASSERT_EQ(piped.status, 0);
    ASSERT_EQ(runTool({ "export", file.string(), "-o", (dir / "same.csv").string(), "--lang", "en-US" }).status, 0);
    // Byte for byte, on Windows too (no CR added before the CSV's CR LF).
    EXPECT_EQ(piped.out, readFile(dir / "same.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "-"));
}

TEST(CliFiles, VerifyTakesSeveralFilesAndAnswersTheWorst)
{
    TempDir dir;
    const auto good = savedFile(dir);
    testing::writeFile(dir / "text.zmd", "hello");
    const auto run = runTool({ "verify", good.string(), (dir / "text.zmd").string(), "--lang", "en-US" }, true);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.out.find(good.string() + ": signature valid, 6 records"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find((dir / "text.zmd").string() + ": This is not"), std::string::npos) << run.out;
    EXPECT_EQ(
        runTool({ "verify", good.string(), (dir / "missing.zmd").string(), (dir / "text.zmd").string() }).status, 7);
}

TEST(CliFiles, InfoTimesCarryTheirOffsetAndJsonNamesAreFixed)
{
    TempDir dir;
    const auto file = savedFile(dir);
    const auto json = runTool({ "info", file.string(), "--json", "--lang", "zh-TW" });
    ASSERT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"function\": \"DC Voltage\""), std::string::npos) << json.out;
    const std::regex iso(R"("first": "\d{4}-\d\d-\d\dT\d\d:\d\d:00[+-]\d\d:\d\d")");
    EXPECT_TRUE(std::regex_search(json.out, iso)) << json.out;
    const auto text = runTool({ "info", file.string(), "--lang", "en-US" });
    EXPECT_TRUE(std::regex_search(text.out, std::regex(R"(Saved: +\d{4}-\d\d-\d\dT\d\d:\d\d:40[+-]\d\d:\d\d)")))
        << text.out;
}

TEST(CliFiles, DecodeSaysWhichCheckFailed)
{
    const auto badSum = runTool({ "decode", "00 00 AB CD 00 02 31 20 31 32 2E 33 34 35 00 00 00 00 00 02 F9" }, true);
    EXPECT_EQ(badSum.status, 1);
    EXPECT_NE(badSum.out.find("checksum"), std::string::npos) << badSum.out;
    EXPECT_NE(badSum.out.find("00 00 AB CD 00 02 31 20 31 32 2E 33 34 35 00 00 00 00 00 02 F9"), std::string::npos)
        << badSum.out;
    const auto shortOne = runTool({ "decode", "00 00 AB CD 00 02 31" }, true);
    EXPECT_NE(shortOne.out.find("too short"), std::string::npos) << shortOne.out;
    const auto header = runTool({ "decode", "00 00 AB CE 00 02 31 20 31 32 2E 33 34 35 00 00 00 00 00 02 F9" }, true);
    EXPECT_NE(header.out.find("AB CD"), std::string::npos) << header.out;
}

TEST(CliFiles, ArgumentsAreCheckedAndHelpIsEverywhere)
{
    for (const char* command : { "log", "info", "verify", "export", "decode", "journal" })
        EXPECT_EQ(runTool({ command, "-h" }).status, 0) << command;
    EXPECT_EQ(runTool({ "-h" }).status, 0);
    const auto help = runTool({ "--help" });
    EXPECT_NE(help.out.find("unplug"), std::string::npos) << help.out; // the scenarios
    EXPECT_NE(help.out.find("ZelmarDMM5174K"), std::string::npos); // the data directory
    EXPECT_NE(help.out.find("9 a journal is waiting"), std::string::npos); // the exit statuses
    const auto missing = runTool({ "log", "--save", "--csv", "x.csv" }, true);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("--save needs a value"), std::string::npos) << missing.out;
    const auto language = runTool({ "info", "x.zmd", "--lang", "fr" }, true);
    EXPECT_EQ(language.status, 2);
    EXPECT_NE(language.out.find("--lang takes zh-TW or en-US"), std::string::npos) << language.out;
}

} // namespace
} // namespace zelmar
