// settings.json: whatever is read is written and read back the same.

#include "fuzz_target.h"

#include "storage/settings.h"

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const AppSettings settings = SettingsStore::decode(fuzz::text(data, size));
    const AppSettings again = SettingsStore::decode(SettingsStore::encode(settings));
    FUZZ_CHECK(again == settings);
    return 0;
}
