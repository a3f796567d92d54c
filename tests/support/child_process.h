#pragma once

// A real child process for end-to-end tests (POSIX): started with its
// standard output on a pipe, read line by line, killed, waited for.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zelmar::testing {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, bool quietStderr = true)
        : ChildProcess(argv, quietStderr ? std::string("/dev/null") : std::string())
    {
    }

    // Standard error goes to the named file (empty: the test's own).
    ChildProcess(const std::vector<std::string>& argv, const std::string& stderrFile)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            if (!stderrFile.empty())
                (void)::freopen(stderrFile.c_str(), "w", stderr);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~ChildProcess()
    {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            (void)wait();
        }
        if (out_ >= 0)
            ::close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next complete line of output, or none at the end or after the limit.
    std::optional<std::string> readLine(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const auto at = buffer_.find('\n'); at != std::string::npos) {
                std::string line = buffer_.substr(0, at);
                buffer_.erase(0, at + 1);
                return line;
            }
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p { out_, POLLIN, 0 };
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void signal(int number) { ::kill(pid_, number); }

    // Closes the reading end of the child's standard output, as a pipe
    // reader that went away ("| head -1") does.
    void closeOutput()
    {
        if (out_ >= 0)
            ::close(out_);
        out_ = -1;
    }

    // The exit status, or 128 + the signal that ended the child.
    int wait()
    {
        if (!status_) {
            int raw = 0;
            ::waitpid(pid_, &raw, 0);
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return *status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

// Runs `body` in a forked copy of this process and returns its result (or
// 128 + the signal that ended it). For what must not touch the test process
// itself: resource limits, signals, aborts.
inline int runInChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Caps the size of any file this process writes (a full disk, as the writer
// sees it): a write past the cap is cut short or fails with EFBIG.
inline void capFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace zelmar::testing
