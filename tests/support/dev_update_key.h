#pragma once

// The development update key, read from the fixtures: tests sign manifests
// with its private half and verify with a service built here from its public
// half, so they hold whatever update key the build itself embeds.

#include "security/ecdsa.h"
#include "security/signature_service.h"
#include "support/fixtures.h"

#include <fstream>
#include <stdexcept>

namespace zelmar::testing {

inline ByteVector developmentUpdatePrivateKey()
{
    std::ifstream in(fixturePath("update-dev-key.private.hex"));
    std::string hex;
    in >> hex;
    auto key = decodeHex(hex);
    if (!key)
        throw std::runtime_error("the development update key fixture is missing");
    return *key;
}

inline const UpdateSignatureService& developmentUpdateService()
{
    static const UpdateSignatureService service(
        { { "UPD-1", EcdsaP256::publicKey(developmentUpdatePrivateKey()).value() } });
    return service;
}

} // namespace zelmar::testing
