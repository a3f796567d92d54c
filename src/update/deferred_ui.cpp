#include "update/deferred_ui.h"

namespace zelmar {

DeferredUI::DeferredUI(Host host, unsigned timerId, std::function<bool()> isCancelled)
    : host_(std::move(host))
    , timerId_(timerId)
    , isCancelled_(std::move(isCancelled))
{
}

void DeferredUI::enqueue(std::function<void()> action)
{
    queue_.push_back(std::move(action));
    if (!timerRunning_) {
        timerRunning_ = true;
        host_.startTimer(timerId_, pollMilliseconds);
    }
}

bool DeferredUI::onTimer(unsigned timerId)
{
    if (timerId != timerId_)
        return false;
    if (isCancelled_()) {
        host_.stopTimer(timerId_);
        timerRunning_ = false;
        queue_.clear();
        return true;
    }
    if (!host_.canShowDialog())
        return true; // try again at the next tick
    host_.stopTimer(timerId_);
    timerRunning_ = false;
    auto taken = std::move(queue_);
    queue_.clear();
    for (auto& action : taken) {
        if (isCancelled_())
            break;
        action();
    }
    return true;
}

} // namespace zelmar
