#pragma once

// What the logger writes while it runs, kept in order: the live status line
// on a terminal (rewritten in place), whole lines above it (samples, events,
// diagnostics), and the diagnostic log shown as the user asked: none
// (--quiet), the warnings (default) or all (--verbose), in English when the
// language is English. Any thread may print; one lock keeps lines whole and
// the status line unbroken.

#include "core/diagnostic_log.h"
#include "localization/localization.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace zelmar::cli {

enum class Verbosity { quiet, normal, verbose };

class Terminal {
public:
    // `statusOn` is where the status line goes (a terminal), if anywhere.
    Terminal(std::FILE* lines, std::FILE* errors, std::FILE* statusOn, Verbosity verbosity, AppLanguage language);
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // A whole line to `lines` (or `errors`); false when the stream failed
    // (a closed pipe).
    bool line(const std::string& text);
    bool errorLine(const std::string& text);
    void status(const std::string& text);
    void endStatus();

private:
    bool print(std::FILE* stream, const std::string& text);
    void diagnostic(std::string_view line);

    std::mutex mutex_;
    std::FILE* lines_;
    std::FILE* errors_;
    std::FILE* statusOn_;
    Verbosity verbosity_;
    AppLanguage language_;
    bool statusShown_ = false;
    std::optional<log::Redirect> redirect_;
};

// A diagnostic line (prefix, text, CR LF) in English, as far as its text is
// known; other lines unchanged. The line ends without CR LF.
[[nodiscard]] std::string englishDiagnostic(std::string_view line);
// Whether a diagnostic line is a warning the user sees by default.
[[nodiscard]] bool isWarningDiagnostic(std::string_view line);
// A reason the storage layer gives in Chinese, in English where known.
[[nodiscard]] std::string englishReason(std::string_view reason);

} // namespace zelmar::cli
