// The program's version resource as bytes: parsed within its depth, and a
// resolved version is never empty.

#include "fuzz_target.h"

#include "app/version_resource.h"

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const auto info = VersionResourceParser::parse(fuzz::bytes(data, size))) {
        if (const auto resolved = AppVersionResolver::resolve(*info))
            FUZZ_CHECK(!resolved->version.empty());
    }
    return 0;
}
