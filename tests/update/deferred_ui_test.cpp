// Actions held back until the window can show a dialog.

#include "update/deferred_ui.h"

#include <gtest/gtest.h>

using namespace zelmar;

namespace {

struct FakeWindow {
    bool timerRunning = false;
    unsigned starts = 0;
    bool canShow = false;
    bool closing = false;
};

DeferredUI makeQueue(FakeWindow& w)
{
    return DeferredUI(DeferredUI::Host {
                          [&w](unsigned id, unsigned ms) {
                              EXPECT_EQ(id, 4u);
                              EXPECT_EQ(ms, 200u);
                              w.timerRunning = true;
                              ++w.starts;
                          },
                          [&w](unsigned) { w.timerRunning = false; },
                          [&w] { return w.canShow; },
                      },
        4, [&w] { return w.closing; });
}

} // namespace

TEST(DeferredUI, WaitsUntilADialogCanShowThenRunsInOrder)
{
    FakeWindow w;
    DeferredUI queue = makeQueue(w);
    std::vector<int> ran;
    queue.enqueue([&] { ran.push_back(1); });
    queue.enqueue([&] { ran.push_back(2); });
    EXPECT_EQ(w.starts, 1u); // one timer for the whole queue
    EXPECT_FALSE(queue.onTimer(3)); // not its timer
    EXPECT_TRUE(queue.onTimer(4)); // a modal dialog is open: wait
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(w.timerRunning);
    w.canShow = true;
    EXPECT_TRUE(queue.onTimer(4));
    EXPECT_EQ(ran, (std::vector<int> { 1, 2 }));
    EXPECT_FALSE(w.timerRunning);
    EXPECT_EQ(queue.pending(), 0u);
}

TEST(DeferredUI, ClosingDropsWhatWaitsAndStopsABatch)
{
    FakeWindow w;
    DeferredUI queue = makeQueue(w);
    int ran = 0;
    queue.enqueue([&] { ++ran; });
    w.closing = true;
    EXPECT_TRUE(queue.onTimer(4));
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(w.timerRunning);
    EXPECT_EQ(queue.pending(), 0u);

    w.closing = false;
    w.canShow = true;
    queue.enqueue([&] {
        ++ran;
        w.closing = true; // the first action starts the close
    });
    queue.enqueue([&] { ++ran; });
    EXPECT_TRUE(queue.onTimer(4));
    EXPECT_EQ(ran, 1);
}
