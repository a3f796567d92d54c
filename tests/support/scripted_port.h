#pragma once

// A DMMDevicePort driven by a script that the test keeps a handle on while
// the polling engine owns the port itself. Thread-safe: the engine calls it
// from the polling thread while the test changes the script.

#include "meter/dmm5174k.h"
#include "meter/meter_responses.h"
#include "support/manual_clock.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zelmar::testing {

using Answer = std::expected<Bytes, DMMError>;

inline Answer validAnswer(const char* text = " 12.345")
{
    return MeterResponses::displayReport({ 2, 1, text, 0, {} });
}
inline Answer failedAnswer()
{
    return std::unexpected(DMMError::readTimeout());
}
inline Answer ackAnswer()
{
    return MeterResponses::acknowledgeReport();
}
inline Answer garbageAnswer()
{
    return Bytes { 0x00, 0x00, 0xAB, 0xCD, 0x01 };
}

struct PortScript {
    std::mutex mutex;
    bool present = true;
    bool open = false;
    std::expected<std::string, DMMError> model = std::string("DMM-5174K");
    std::deque<Answer> answers;
    Answer whenEmpty = validAnswer();
    int requestDelayMs = 0;
    int opens = 0;
    int openAttempts = 0;
    int closes = 0;
    std::vector<std::chrono::steady_clock::time_point> requestStarts;
    // With a manual clock, request delays pass in its time, and the times of
    // requests and open attempts are kept in its milliseconds.
    std::shared_ptr<ManualClock> clock;
    std::vector<std::int64_t> requestStartsMs;
    std::vector<std::int64_t> openAttemptsMs;

    void push(std::initializer_list<Answer> list)
    {
        std::lock_guard lock(mutex);
        answers.insert(answers.end(), list.begin(), list.end());
    }
    template <typename F> auto with(F f)
    {
        std::lock_guard lock(mutex);
        return f(*this);
    }
};

class ScriptedPort final : public DMMDevicePort {
public:
    explicit ScriptedPort(std::shared_ptr<PortScript> script)
        : script_(std::move(script))
    {
    }
    bool isOpen() const override
    {
        std::lock_guard lock(script_->mutex);
        return script_->open;
    }
    bool open() override
    {
        std::lock_guard lock(script_->mutex);
        ++script_->openAttempts;
        if (script_->clock)
            script_->openAttemptsMs.push_back(script_->clock->monotonicMilliseconds());
        if (script_->present) {
            script_->open = true;
            ++script_->opens;
        }
        return script_->open;
    }
    void close() override
    {
        std::lock_guard lock(script_->mutex);
        if (script_->open)
            ++script_->closes;
        script_->open = false;
    }
    std::expected<std::string, DMMError> readModel() override
    {
        std::lock_guard lock(script_->mutex);
        return script_->model;
    }
    std::expected<Bytes, DMMError> requestDisplay(std::uint32_t) override
    {
        int delay;
        Answer answer = failedAnswer();
        std::shared_ptr<ManualClock> clock;
        {
            std::lock_guard lock(script_->mutex);
            script_->requestStarts.push_back(std::chrono::steady_clock::now());
            clock = script_->clock;
            if (clock)
                script_->requestStartsMs.push_back(clock->monotonicMilliseconds());
            delay = script_->requestDelayMs;
            if (!script_->present) {
                answer = std::unexpected(DMMError::writeFailed());
            } else if (!script_->answers.empty()) {
                answer = script_->answers.front();
                script_->answers.pop_front();
            } else {
                answer = script_->whenEmpty;
            }
        }
        if (delay > 0 && clock)
            clock->advance(delay);
        else if (delay > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        return answer;
    }
    std::expected<Bytes, DMMError> read(std::uint32_t) override { return failedAnswer(); }

private:
    std::shared_ptr<PortScript> script_;
};

// Polls a condition until it holds or the limit passes.
template <typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (predicate())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return predicate();
}

} // namespace zelmar::testing
