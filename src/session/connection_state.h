#pragma once

#include <string>

namespace zelmar {

// The meter connection as the session sees it.
struct SessionConnectionState {
    enum class Kind { connected, disconnected, readError };

    Kind kind = Kind::disconnected;
    std::string model; // for connected: the model the meter gave, or empty

    static SessionConnectionState connected(std::string model) { return { Kind::connected, std::move(model) }; }
    static SessionConnectionState disconnected() { return { Kind::disconnected, {} }; }
    static SessionConnectionState readError() { return { Kind::readError, {} }; }

    friend bool operator==(const SessionConnectionState&, const SessionConnectionState&) = default;
};

} // namespace zelmar
