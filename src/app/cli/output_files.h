#pragma once

// The files a command is asked to write, checked before any work starts:
// an eight-hour recording must not end in a typo, and no output may destroy
// another output or the input it is made from.

#include "localization/localization.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zelmar::cli {

struct OutputFile {
    std::string option; // "--save", "-o", ... for messages
    std::string text; // as given; "-" is standard output
    [[nodiscard]] bool isStandardOutput() const { return text == "-"; }
    [[nodiscard]] std::filesystem::path path() const { return std::filesystem::u8path(text); }
};

// The first problem, as a message naming the file, or none:
// - two outputs, or an output and an input, that are the same file (by
//   resolved path, or by identity when both exist);
// - an output that exists but is not a regular file (a device, a folder);
// - an output whose folder does not exist or cannot be written to (tried
//   with a probe file, never with the output itself);
// - an output that exists, unless `force`.
// Standard output may be named once.
[[nodiscard]] std::optional<std::string> checkOutputs(const std::vector<OutputFile>& outputs,
    const std::vector<std::filesystem::path>& inputs, bool force, AppLanguage language);

// Whether two paths name the same file (existing or not).
[[nodiscard]] bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace zelmar::cli
