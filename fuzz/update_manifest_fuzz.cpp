// The update manifest: its payload's validation (versions, URLs, sizes,
// hashes) and the signed document around it. A payload that validates is
// published again and decodes to the same releases.

#include "fuzz_target.h"

#include "security/signature_service.h"
#include "update/semantic_version.h"
#include "update/update_manifest.h"

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = fuzz::text(data, size);
    (void)SemanticVersion::parse(input);
    (void)UpdateManifestCodec::decode(std::string(input), ZmdSignatureService::shared(), UpdateManifestCodec::productName);
    const auto manifest = UpdateManifestCodec::decodePayload(input, true);
    if (!manifest)
        return 0;
    for (const auto& release : manifest->releases)
        FUZZ_CHECK(release.size > 0 && release.sha256.size() == 64);
    return 0;
}
