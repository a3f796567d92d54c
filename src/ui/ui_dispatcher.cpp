#include "ui/ui_dispatcher.h"

namespace zelmar::ui {

void UIDispatcher::setTarget(Target target)
{
    const std::lock_guard lock(targetMutex_);
    target_ = target;
}

bool UIDispatcher::post(std::function<void()> closure)
{
    Target target = 0;
    {
        // Queued while the target is held, so a clear either comes first
        // (the closure is dropped) or finds the closure and discards it.
        const std::lock_guard targetLock(targetMutex_);
        target = target_;
        if (target == 0)
            return false;
        const std::lock_guard queueLock(queueMutex_);
        queue_.push_back(std::move(closure));
    }
    wake_(target);
    return true;
}

void UIDispatcher::runQueued()
{
    std::vector<std::function<void()>> taken;
    {
        const std::lock_guard lock(queueMutex_);
        taken.swap(queue_);
    }
    for (auto& closure : taken) {
        // A closure may close the window; what was taken with it must not
        // run after that.
        {
            const std::lock_guard lock(targetMutex_);
            if (target_ == 0)
                return;
        }
        closure();
    }
}

void UIDispatcher::clearTargetAndDiscard()
{
    {
        const std::lock_guard lock(targetMutex_);
        target_ = 0;
    }
    std::vector<std::function<void()>> discarded;
    {
        const std::lock_guard lock(queueMutex_);
        discarded.swap(queue_);
    }
    // Destroyed outside the lock: a closure's captures may post again.
}

std::size_t UIDispatcher::queuedCount() const
{
    const std::lock_guard lock(queueMutex_);
    return queue_.size();
}

} // namespace zelmar::ui
