#pragma once

// Actions held back until the main window can show a dialog: not while a
// modal dialog, a menu or a move/size loop owns the UI thread. A window
// timer polls every 200 ms while something waits. The window, its timer
// and the "can show a dialog now" test come in as functions, so the rules
// are portable and tested in both builds.

#include <functional>
#include <vector>

namespace zelmar {

class DeferredUI {
public:
    struct Host {
        std::function<void(unsigned timerId, unsigned milliseconds)> startTimer;
        std::function<void(unsigned timerId)> stopTimer;
        std::function<bool()> canShowDialog;
    };
    static constexpr unsigned pollMilliseconds = 200;

    DeferredUI(Host host, unsigned timerId, std::function<bool()> isCancelled);
    DeferredUI(const DeferredUI&) = delete;
    DeferredUI& operator=(const DeferredUI&) = delete;

    void enqueue(std::function<void()> action);
    // The window's timer events: true when the id was this queue's.
    bool onTimer(unsigned timerId);
    [[nodiscard]] std::size_t pending() const noexcept { return queue_.size(); }

private:
    Host host_;
    unsigned timerId_;
    std::function<bool()> isCancelled_;
    std::vector<std::function<void()>> queue_;
    bool timerRunning_ = false;
};

} // namespace zelmar
