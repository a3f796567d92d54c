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

// The program's open, straight into the compact store, reads the same
// records and refuses the same files.
void sameAsStored(const std::string& bytes)
{
    const auto general = ZmdFile::decode(bytes, "DMM-5174K", ZmdSignatureService::shared());
    const auto stored = ZmdFile::decodeReadings(bytes, "DMM-5174K", ZmdSignatureService::shared());
    FUZZ_CHECK(general.has_value() == stored.has_value());
    if (!general) {
        FUZZ_CHECK(general.error() == stored.error());
        return;
    }
    FUZZ_CHECK(stored->records.size() == general->records.size());
    for (std::size_t i = 0; i < general->records.size(); ++i) {
        const JournalRecord& r = general->records[i];
        FUZZ_CHECK(stored->records[i] == Reading(r.t, r.f, CompactReadings::clampedRange(r.r), r.x, DmmFlags {}, 0));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(fuzz::text(data, size));
    sameAsStored(input);
    if (const auto opened = ZmdFile::decode(input, "DMM-5174K", ZmdSignatureService::shared()))
        roundTrip(*opened);
    const auto sealed = SignedJSONEnvelope::seal(input, ZmdSignatureService::shared(), ZmdFile::largestFile);
    if (!sealed)
        return 0;
    // A sealed payload always verifies; only its content can be refused.
    const auto envelope = SignedJSONEnvelope::parse(*sealed);
    if (envelope)
        FUZZ_CHECK(envelope->verify(ZmdSignatureService::shared()));
    sameAsStored(*sealed);
    if (const auto opened = ZmdFile::decode(*sealed, "DMM-5174K", ZmdSignatureService::shared())) {
        // The envelope read with the payload scanner and without agree.
        FUZZ_CHECK(envelope.has_value());
        roundTrip(*opened);
    }
    return 0;
}
