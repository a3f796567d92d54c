#include "core/diagnostic_log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zelmar::log {

struct LogCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

namespace {

// The only process-wide state of the log: the innermost capture and the
// optional test file sink. Both are guarded by one mutex because lines come
// from the polling and update threads as well as the UI thread.
std::mutex& captureMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogCapture* g_capture = nullptr;
Redirect* g_redirect = nullptr;

void appendToTestFile(std::string_view line)
{
    // Tests of whole processes read the log through this file, because the
    // debugger stream is not visible from outside under every platform.
    static const char* path = std::getenv("ZELMAR_TEST_LOG_FILE");
    if (path == nullptr || *path == '\0')
        return;
    if (std::FILE* file = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
}

} // namespace

std::string_view prefix(Module module) noexcept
{
    switch (module) {
    case Module::app:
        return "[DMMApp] ";
    case Module::ui:
        return "[DMMUI] ";
    case Module::session:
        return "[DMMSession] ";
    }
    return "";
}

void write(Module module, std::string_view text)
{
    std::string line;
    line.reserve(prefix(module).size() + text.size() + 2);
    line.append(prefix(module));
    line.append(text);
    line.append("\r\n");
    writeRaw(line);
}

LogCapture::LogCapture()
    : state_(std::make_unique<State>())
{
    std::lock_guard lock(captureMutex());
    previous_ = g_capture;
    g_capture = this;
}

LogCapture::~LogCapture()
{
    {
        std::lock_guard lock(captureMutex());
        g_capture = previous_;
    }
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

bool LogCapture::contains(std::string_view text) const
{
    return count(text) > 0;
}

int LogCapture::count(std::string_view text) const
{
    std::lock_guard lock(state_->mutex);
    return static_cast<int>(std::count_if(state_->lines.begin(), state_->lines.end(),
        [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

Redirect::Redirect(std::function<void(std::string_view line)> sink)
    : sink_(std::move(sink))
{
    std::lock_guard lock(captureMutex());
    previous_ = g_redirect;
    g_redirect = this;
}

Redirect::~Redirect()
{
    std::lock_guard lock(captureMutex());
    g_redirect = previous_;
}

void writeRaw(std::string_view line)
{
    std::lock_guard lock(captureMutex());
    if (g_capture != nullptr) {
        std::lock_guard stateLock(g_capture->state_->mutex);
        g_capture->state_->lines.emplace_back(line);
    }
    appendToTestFile(line);
    // Under the lock, so a redirect is never called after its destructor
    // returned, and lines from several threads never interleave.
    if (g_redirect != nullptr)
        g_redirect->sink_(line);
    else
        detail::emit(line);
}

} // namespace zelmar::log
