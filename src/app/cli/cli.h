#pragma once

// dmm5174k: the headless logger and file tool. Commands:
//   log      record from the meter (or the simulator) into the journal, then
//            save .zmd and CSV on Ctrl-C, SIGTERM, --count or --duration
//   info     what a .zmd file holds, with statistics per function and unit
//   verify   whether a .zmd file opens; a distinct exit status per refusal
//   export   a .zmd file as the same CSV the GUI writes
//   decode   one display report given as hex bytes
//   journal  what an unrecovered journal in the data directory holds

#include "app/cli/arguments.h"
#include "localization/localization.h"

#include <cstdio>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

namespace zelmar::cli {

enum ExitStatus : int {
    exitOk = 0,
    exitFailure = 1,
    exitUsage = 2,
    exitNotZmd = 3,
    exitTampered = 4,
    exitNewerVersion = 5,
    exitOtherModel = 6,
    exitFileError = 7,
    exitLocked = 8,
    exitJournalPending = 9,
    exitAlarm = 10, // log --fail-on-alarm: the run went well, but a sample was outside the limits
};

struct Context {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    AppLanguage language = AppLanguage::enUS;
    std::string version;
};

int run(const std::vector<std::string>& args);

int runLog(const std::vector<std::string>& args, Context& context);
int runInfo(const std::vector<std::string>& args, Context& context);
int runVerify(const std::vector<std::string>& args, Context& context);
int runExport(const std::vector<std::string>& args, Context& context);
int runPlot(const std::vector<std::string>& args, Context& context);
int runDecode(const std::vector<std::string>& args, Context& context);
int runJournal(const std::vector<std::string>& args, Context& context);

// Shared helpers of the commands.
[[nodiscard]] std::string pick(AppLanguage language, std::string zh, std::string en);
int usageError(Context& context, const std::string& command, const std::string& problem);
// The language from --lang, else the environment.
[[nodiscard]] AppLanguage chooseLanguage(const std::string* requested);
// Sets context.language from --lang (refusing an unknown code) or the
// environment.
[[nodiscard]] std::expected<void, std::string> languageOption(const ParsedArguments& parsed, Context& context);
[[nodiscard]] std::string softwareText(const std::string& version);
// Marks a journal that a clean run kept on purpose (no files were asked
// for), so the next run tells the truth about it instead of speaking of a
// crash.
[[nodiscard]] std::filesystem::path keptMarkerPath(const std::filesystem::path& dataDirectory);
// The files the program keeps in the data directory, which no output may
// overwrite: the journal, its side files, the lock, the settings.
[[nodiscard]] std::vector<std::filesystem::path> dataDirectoryFiles(const std::filesystem::path& dataDirectory);
// The refusal when another writer holds the data directory's lock.
[[nodiscard]] std::string lockedMessage(AppLanguage language, const std::string& detail);
// The CSV header row of the program's export, in the language.
[[nodiscard]] std::vector<std::string> csvHeader(AppLanguage language);

} // namespace zelmar::cli
