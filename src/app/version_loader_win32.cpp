#include "app/version_resource.h"
#include "core/diagnostic_log.h"

#include <windows.h>

#include <vector>

namespace zelmar {

std::string loadApplicationVersion()
{
    constexpr const char* fallback = "0.0.0";
    std::vector<wchar_t> path(32'768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) {
        log::write(log::Module::app, std::string("版本：無法取得執行檔路徑，版本以 ") + fallback + " 代替");
        return fallback;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
    std::vector<std::uint8_t> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.data(), 0, size, block.data())) {
        log::write(log::Module::app,
            "版本：讀取版本資源失敗（GetFileVersionInfoW，錯誤 " + std::to_string(GetLastError()) + "），版本以 "
                + fallback + " 代替");
        return fallback;
    }
    const auto info = VersionResourceParser::parse(block);
    const auto resolved = info ? AppVersionResolver::resolve(*info) : std::nullopt;
    if (!resolved) {
        log::write(log::Module::app, std::string("版本：版本資源無法解析或未填版本，版本以 ") + fallback + " 代替");
        return fallback;
    }
    log::write(log::Module::app,
        "版本：" + resolved->version + "（來源 " + std::string(AppVersionResolver::sourceText(resolved->source))
            + "）");
    return resolved->version;
}

} // namespace zelmar
