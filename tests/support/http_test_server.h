#pragma once

// A real HTTP server on 127.0.0.1 for the update tests, in the test process
// itself so that it serves the Linux and the Windows (Wine) builds alike.
// Each route writes its own raw response, so tests can announce lengths
// they do not keep, stall, redirect or close early.

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using TestSocket = SOCKET;
constexpr int kSendFlags = 0;
constexpr TestSocket kNoSocket = INVALID_SOCKET;
inline void closeTestSocket(TestSocket s)
{
    closesocket(s);
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using TestSocket = int;
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr TestSocket kNoSocket = -1;
inline void closeTestSocket(TestSocket s)
{
    ::close(s);
}
#endif

namespace zelmar::testing {

class HttpTestServer {
public:
    // Writes raw bytes to the client; false once the client has gone.
    class Connection {
    public:
        explicit Connection(TestSocket s)
            : socket_(s)
        {
        }
        bool send(const std::string& bytes)
        {
            std::size_t sent = 0;
            while (sent < bytes.size()) {
                // A client that hung up must not end the test process (SIGPIPE).
                const auto n = ::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), kSendFlags);
                if (n <= 0)
                    return false;
                sent += static_cast<std::size_t>(n);
            }
            return true;
        }
        // A complete response with a Content-Length.
        bool respond(int status, const std::string& body, const std::string& extraHeaders = {})
        {
            return send("HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size())
                + "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body);
        }

    private:
        TestSocket socket_;
    };
    using Route = std::function<void(Connection&)>;

    HttpTestServer()
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 16);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HttpTestServer()
    {
        stopping_ = true;
        // Wake the accept call with a connection of our own.
        TestSocket wake = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        ::connect(wake, reinterpret_cast<sockaddr*>(&address), sizeof address);
        closeTestSocket(wake);
        thread_.join();
        for (auto& worker : workers_)
            worker.join();
        closeTestSocket(listener_);
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    void route(const std::string& path, Route handler)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = std::move(handler);
    }
    [[nodiscard]] std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    [[nodiscard]] int requests() const
    {
        return requests_;
    }
    [[nodiscard]] std::string lastRequest() const
    {
        std::lock_guard lock(mutex_);
        return lastRequest_;
    }

private:
    void serve()
    {
        while (!stopping_) {
            TestSocket client = ::accept(listener_, nullptr, nullptr);
            if (client == kNoSocket || stopping_) {
                if (client != kNoSocket)
                    closeTestSocket(client);
                continue;
            }
            workers_.emplace_back([this, client] { handle(client); });
        }
    }

    void handle(TestSocket client)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const auto n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ++requests_;
        const auto start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        Route handler;
        {
            std::lock_guard lock(mutex_);
            lastRequest_ = request;
            if (auto it = routes_.find(path); it != routes_.end())
                handler = it->second;
        }
        Connection connection(client);
        if (handler)
            handler(connection);
        else
            connection.respond(404, "not found");
#ifdef _WIN32
        shutdown(client, SD_SEND);
#else
        ::shutdown(client, SHUT_WR);
#endif
        closeTestSocket(client);
    }

    TestSocket listener_ = kNoSocket;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_ { false };
    std::atomic<int> requests_ { 0 };
    mutable std::mutex mutex_;
    std::map<std::string, Route> routes_;
    std::string lastRequest_;
    std::thread thread_;
    std::vector<std::thread> workers_;
};

} // namespace zelmar::testing
