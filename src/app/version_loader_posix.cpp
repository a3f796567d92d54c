#include "app/version_resource.h"
#include "core/diagnostic_log.h"

namespace zelmar {

std::string loadApplicationVersion()
{
    // Linux executables carry no version resource; the build states it.
    log::write(log::Module::app, std::string("版本：") + ZELMAR_VERSION + "（來源 build）");
    return ZELMAR_VERSION;
}

} // namespace zelmar
