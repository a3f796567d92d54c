// The whole open path of a .zmd file: the input as a file, and the input
// sealed as a payload with the program's own key. What opens is saved and
// opens again with the same records.

#include "fuzz_target.h"

#include "security/signature_service.h"
#include "storage/signed_envelope.h"
#include "storage/zmd_file.h"

using namespace zelmar;

namespace {

void roundTrip(const ZmdDocument& document)
{
    const auto saved = ZmdFile::encode(document, ZmdSignatureService::shared());
    if (!saved)
        return; // records the writer cannot represent are refused, not lost
    const auto again = ZmdFile::decode(*saved, "DMM-5174K", ZmdSignatureService::shared());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->records.size() == document.records.size());
    for (std::size_t i = 0; i < document.records.size(); ++i)
        FUZZ_CHECK(fuzz::identical(again->records[i], document.records[i]));
    FUZZ_CHECK(again->deletedCount == document.deletedCount);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(fuzz::text(data, size));
    if (const auto opened = ZmdFile::decode(input, "DMM-5174K", ZmdSignatureService::shared()))
        roundTrip(*opened);
    const auto sealed = SignedJSONEnvelope::seal(input, ZmdSignatureService::shared(), ZmdFile::largestFile);
    if (!sealed)
        return 0;
    // A sealed payload always verifies; only its content can be refused.
    const auto envelope = SignedJSONEnvelope::parse(*sealed);
    if (envelope)
        FUZZ_CHECK(envelope->verify(ZmdSignatureService::shared()));
    if (const auto opened = ZmdFile::decode(*sealed, "DMM-5174K", ZmdSignatureService::shared())) {
        // The envelope read with the payload scanner and without agree.
        FUZZ_CHECK(envelope.has_value());
        roundTrip(*opened);
    }
    return 0;
}
