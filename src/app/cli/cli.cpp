#include "app/cli/cli.h"
#include "app/version_resource.h"
#include "core/diagnostic_log.h"
#include "session/dmm_session.h"

#include <cstdlib>
#include <cstring>

namespace zelmar::cli {

namespace {

const char* const kUsage = "usage: dmm5174k COMMAND [OPTIONS]\n"
                           "\n"
                           "commands:\n"
                           "  log      record from the meter into the journal; save .zmd and CSV when stopped\n"
                           "  info     show what a .zmd file holds (--json for JSON)\n"
                           "  verify   check that a .zmd file opens (exit 0) or say why not (exit 3-7)\n"
                           "  export   write a .zmd file as CSV\n"
                           "  plot     draw a .zmd file's trend chart as a PNG or SVG picture\n"
                           "  decode   decode one display report given as hex bytes\n"
                           "  journal  show what an unrecovered journal holds\n"
                           "\n"
                           "dmm5174k COMMAND --help (or -h) shows the command's options; dmm5174k --version the\n"
                           "version.\n"
                           "\n"
                           "The data directory (journal, lock) is --data-dir, else $LOCALAPPDATA/ZelmarDMM5174K,\n"
                           "else $XDG_DATA_HOME (or ~/.local/share)/ZelmarDMM5174K.\n"
                           "Meter simulator scenarios (log --simulate=S): dcv, range, overload, negative, flags,\n"
                           "bargraph, ack, badsum, silent, write-fail, unplug, wide.\n"
                           "\n"
                           "exit status: 0 success, 1 runtime failure, 2 usage error, 3 not a measurement file,\n"
                           "  4 altered file (signature), 5 newer format version, 6 another meter model,\n"
                           "  7 file could not be read, 8 data directory in use, 9 a journal is waiting,\n"
                           "  10 a sample outside the limits (log --fail-on-alarm)\n";

} // namespace

std::string pick(AppLanguage language, std::string zh, std::string en)
{
    return language == AppLanguage::zhTW ? std::move(zh) : std::move(en);
}

int usageError(Context& context, const std::string& command, const std::string& problem)
{
    std::fprintf(
        context.err, "dmm5174k %s: %s\n(dmm5174k %s --help)\n", command.c_str(), problem.c_str(), command.c_str());
    return exitUsage;
}

AppLanguage chooseLanguage(const std::string* requested)
{
    if (requested != nullptr) {
        if (auto language = parseLanguageCode(*requested))
            return *language;
    }
    for (const char* name : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0')
            continue;
        return std::strncmp(value, "zh_TW", 5) == 0 || std::strncmp(value, "zh-TW", 5) == 0
                || std::strncmp(value, "zh_Hant", 7) == 0
            ? AppLanguage::zhTW
            : AppLanguage::enUS;
    }
    return AppLanguage::enUS;
}

std::expected<void, std::string> languageOption(const ParsedArguments& parsed, Context& context)
{
    const auto requested = parsed.value("--lang");
    if (requested && !parseLanguageCode(*requested))
        return std::unexpected("--lang takes zh-TW or en-US, not \"" + *requested + "\"");
    context.language = chooseLanguage(requested ? &*requested : nullptr);
    return {};
}

std::filesystem::path keptMarkerPath(const std::filesystem::path& dataDirectory)
{
    return DMMSession::journalPath(dataDirectory).parent_path() / "current.kept";
}

std::vector<std::filesystem::path> dataDirectoryFiles(const std::filesystem::path& dataDirectory)
{
    auto damaged = DMMSession::journalPath(dataDirectory);
    damaged += ".damaged";
    return { DMMSession::journalPath(dataDirectory), DMMSession::metaPath(dataDirectory), std::move(damaged),
        keptMarkerPath(dataDirectory), dataDirectory / "dmm5174k.lock", dataDirectory / "settings.json" };
}

std::string lockedMessage(AppLanguage language, const std::string& detail)
{
    return L10n::dataDirectoryInUse(language, detail);
}

std::string softwareText(const std::string& version)
{
    return "ZELMAR DMM-5174K " + version;
}

std::vector<std::string> csvHeader(AppLanguage l)
{
    return { std::string(L10n::text(L10nKey::columnDate, l)), std::string(L10n::text(L10nKey::columnTime, l)),
        std::string(L10n::text(L10nKey::columnFunction, l)), std::string(L10n::text(L10nKey::columnValue, l)),
        std::string(L10n::text(L10nKey::columnUnit, l)) };
}

int run(const std::vector<std::string>& args)
{
    Context context;
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? exitUsage : exitOk;
    }
    if (args[0] == "--version") {
        std::printf("dmm5174k %s\n", displayedVersion(loadApplicationVersion()).c_str());
        return exitOk;
    }
    const std::string command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    // Diagnostic lines stay off standard error unless a command shows them
    // its own way (`log` does, in the chosen language and verbosity).
    const log::Redirect silent([](std::string_view) {});
    if (command == "log")
        return runLog(rest, context);
    if (command == "info")
        return runInfo(rest, context);
    if (command == "verify")
        return runVerify(rest, context);
    if (command == "export")
        return runExport(rest, context);
    if (command == "plot")
        return runPlot(rest, context);
    if (command == "decode")
        return runDecode(rest, context);
    if (command == "journal")
        return runJournal(rest, context);
    std::fprintf(stderr, "dmm5174k: unknown command \"%s\"\n\n%s", command.c_str(), kUsage);
    return exitUsage;
}

} // namespace zelmar::cli
