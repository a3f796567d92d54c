// Builds a signed update manifest for the update server.
//
//   dmm5174k-publish DESCRIPTION.json PRIVATE-KEY.hex KEY-ID OUTPUT.json
//
// DESCRIPTION.json is the manifest payload without format and formatVersion
// ({"name":..., "latest":..., "versions":[...]}); the tool validates it with
// the latest version required in the list, signs it with the private key
// (104-byte blob as hexadecimal) and writes the sealed document.

#include "storage/file_io.h"
#include "update/update_manifest.h"

#include <cstdio>
#include <fstream>

using namespace zelmar;

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: dmm5174k-publish DESCRIPTION.json PRIVATE-KEY.hex KEY-ID OUTPUT.json\n");
        return 2;
    }
    const auto description = readWholeFile(argv[1]);
    auto keyText = readWholeFile(argv[2]);
    if (!description || !keyText) {
        std::fprintf(stderr, "cannot read %s\n", !description ? argv[1] : argv[2]);
        return 1;
    }
    while (!keyText->empty() && (keyText->back() == '\n' || keyText->back() == '\r' || keyText->back() == ' '))
        keyText->pop_back();
    auto key = decodeHex(*keyText);
    if (!key || key->size() != 104) {
        std::fprintf(stderr, "the private key must be a 104-byte blob in hexadecimal\n");
        return 1;
    }
    auto manifest = UpdateManifestCodec::decodePayload(*description, false);
    if (!manifest) {
        std::fprintf(stderr, "%s\n", manifest.error().reason.c_str());
        return 1;
    }
    const PrivateKeySigner signer(argv[3], std::move(*key));
    const auto document = UpdateManifestCodec::encode(*manifest, signer);
    if (!document) {
        std::fprintf(stderr, "%s\n", document.error().c_str());
        return 1;
    }
    if (auto written = writeFileAtomically(argv[4], *document); !written) {
        std::fprintf(stderr, "%s\n", written.error().text().c_str());
        return 1;
    }
    return 0;
}
