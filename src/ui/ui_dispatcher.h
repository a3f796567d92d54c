#pragma once

// Posts closures from any thread to the UI thread of one window. The queue
// and its two locks are portable; waking the window is the one platform
// call, given at construction (a PostMessage of WM_APP + 1 on Windows).
//
// Posting reads the target under the target lock and drops the closure when
// it has been cleared; otherwise the closure is queued under the queue lock
// and the target is woken once per closure. The UI thread takes the whole
// queue on each wake and runs it in posting order. Clearing the target
// before the window goes discards what is still queued, and a closure that
// clears it stops the rest of its batch, so nothing runs after the window
// is gone.

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace zelmar::ui {

class UIDispatcher {
public:
    using Target = std::uintptr_t; // 0: none
    using Wake = std::function<void(Target)>;

    explicit UIDispatcher(Wake wake)
        : wake_(std::move(wake))
    {
    }
    UIDispatcher(const UIDispatcher&) = delete;
    UIDispatcher& operator=(const UIDispatcher&) = delete;

    void setTarget(Target target);
    // Any thread: false when the closure was dropped (no target).
    bool post(std::function<void()> closure);
    // UI thread, on each wake: runs everything queued so far.
    void runQueued();
    // UI thread, before the window is destroyed.
    void clearTargetAndDiscard();
    [[nodiscard]] std::size_t queuedCount() const;

private:
    Wake wake_;
    mutable std::mutex targetMutex_;
    Target target_ = 0;
    mutable std::mutex queueMutex_;
    std::vector<std::function<void()>> queue_;
};

} // namespace zelmar::ui
