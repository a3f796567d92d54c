#include "app/cli/output_files.h"
#include "app/cli/cli.h"

#include "storage/file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zelmar::cli {

namespace {

std::filesystem::path resolved(const std::filesystem::path& path)
{
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return path.lexically_normal();
    auto canonical = std::filesystem::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}

// Creates and removes a file of a fresh name in the folder: the one honest
// way to learn that the output can be created there (permissions, read-only
// mounts and full quotas all show).
std::optional<std::string> probeFolder(const std::filesystem::path& folder)
{
    const auto probe = uniqueTemporaryPathFor(folder / ".dmm5174k-probe");
    {
        std::ofstream out(probe, std::ios::binary);
        if (!out)
            return std::string(std::strerror(errno));
    }
    std::error_code ec;
    std::filesystem::remove(probe, ec);
    return std::nullopt;
}

} // namespace

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec) && std::filesystem::equivalent(a, b, ec))
        return true;
    return resolved(a) == resolved(b);
}

std::optional<std::string> checkOutputs(
    const std::vector<OutputFile>& outputs, const std::vector<std::filesystem::path>& inputs, bool force, AppLanguage l)
{
    int standardOutputs = 0;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputFile& output = outputs[i];
        if (output.isStandardOutput()) {
            if (++standardOutputs > 1)
                return pick(l, "標準輸出只能給一個輸出使用（" + output.option + " -）",
                    "standard output can take only one output (" + output.option + " -)");
            continue;
        }
        const auto path = output.path();
        const std::string name = pathText(path);
        for (const auto& input : inputs)
            if (sameFile(path, input))
                return pick(l, output.option + " 指向輸入檔本身，會覆蓋它：" + name,
                    output.option + " names the input file itself, which it would overwrite: " + name);
        for (std::size_t j = 0; j < i; ++j)
            if (!outputs[j].isStandardOutput() && sameFile(path, outputs[j].path()))
                return pick(l, outputs[j].option + " 與 " + output.option + " 指向同一個檔案：" + name,
                    outputs[j].option + " and " + output.option + " name the same file: " + name);

        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        const bool exists = std::filesystem::exists(status);
        if (exists && !std::filesystem::is_regular_file(status))
            return pick(l, output.option + " 不是一般檔案（標準輸出請用 -）：" + name,
                output.option + " is not a regular file (use - for standard output): " + name);
        const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
        if (!std::filesystem::is_directory(folder, ec))
            return pick(l, output.option + " 的資料夾不存在：" + pathText(folder),
                "the folder of " + output.option + " does not exist: " + pathText(folder));
        if (auto problem = probeFolder(folder))
            return pick(l, "無法在 " + output.option + " 的資料夾中建立檔案（" + *problem + "）：" + pathText(folder),
                "cannot create files in the folder of " + output.option + " (" + *problem + "): " + pathText(folder));
        if (exists && !force)
            return pick(l, output.option + " 的檔案已存在（加上 --force 即可取代）：" + name,
                output.option + " already exists (add --force to replace it): " + name);
    }
    return std::nullopt;
}

} // namespace zelmar::cli
