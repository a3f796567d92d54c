#pragma once

// The errors of the meter link with their fixed texts (Traditional Chinese,
// not localized: they appear in the diagnostic log).

#include "meter/protocol.h"

#include <string>

namespace zelmar {

struct DMMError {
    enum class Kind { badResponse, deviceNotFound, notConnected, writeFailed, readTimeout };

    Kind kind;
    Bytes payload; // the received bytes, for badResponse only

    static DMMError badResponse(Bytes received) { return { Kind::badResponse, std::move(received) }; }
    static DMMError deviceNotFound() { return { Kind::deviceNotFound, {} }; }
    static DMMError notConnected() { return { Kind::notConnected, {} }; }
    static DMMError writeFailed() { return { Kind::writeFailed, {} }; }
    static DMMError readTimeout() { return { Kind::readTimeout, {} }; }

    [[nodiscard]] std::string text() const;

    friend bool operator==(const DMMError&, const DMMError&) = default;
};

} // namespace zelmar
