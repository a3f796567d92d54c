#include "security/signature_service.h"

namespace zelmar {

const std::vector<std::pair<std::string, std::string>>& UpdateKeyCatalog::entryTexts()
{
    // Chosen at build time (ZELMAR_UPDATE_PUBLIC_KEY); a release build passes
    // its own public key, development builds use the development key.
    static const std::vector<std::pair<std::string, std::string>> entries { { "UPD-1", ZELMAR_UPDATE_PUBLIC_KEY } };
    return entries;
}

bool UpdateKeyCatalog::isDevelopmentKey() noexcept
{
    return ZELMAR_UPDATE_KEY_IS_DEVELOPMENT != 0;
}

} // namespace zelmar
