#pragma once

// The diagnostic log: one line per event, written as a single string made of
// a bracketed module prefix, the text and CR LF. On Windows the line goes to
// the debugger output stream, elsewhere to standard error. There is no log
// file and no level; tests capture the lines through LogCapture.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::log {

enum class Module { app, ui, session };

// "[DMMApp] ", "[DMMUI] " or "[DMMSession] ".
[[nodiscard]] std::string_view prefix(Module module) noexcept;

// Writes prefix + text + CR LF as one line.
void write(Module module, std::string_view text);

// Writes a line that already carries its prefix and CR LF, unchanged.
void writeRaw(std::string_view line);

// While alive, every line written in the process is also handed to the
// capture. Captures nest; the innermost one receives the lines.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The complete lines captured so far, each with its prefix and CR LF.
    [[nodiscard]] std::vector<std::string> lines() const;
    // Whether any captured line contains the given text.
    [[nodiscard]] bool contains(std::string_view text) const;
    // How many captured lines contain the given text.
    [[nodiscard]] int count(std::string_view text) const;

private:
    friend void writeRaw(std::string_view line);
    struct State;
    std::unique_ptr<State> state_;
    LogCapture* previous_ = nullptr;
};

// While alive, lines go to this sink instead of the platform's stream (the
// command-line logger shows them its own way: translated, fewer or none).
// Captures and the test file still receive every line. Redirects nest.
class Redirect {
public:
    explicit Redirect(std::function<void(std::string_view line)> sink);
    ~Redirect();
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    friend void writeRaw(std::string_view line);
    std::function<void(std::string_view)> sink_;
    Redirect* previous_ = nullptr;
};

namespace detail {
// The platform sink; implemented once per platform.
void emit(std::string_view line);
} // namespace detail

} // namespace zelmar::log
