// Multimedia timers: start, stop, unknown ids, stopping from inside a tick,
// and that no tick runs after Stop (or destruction) has returned.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "ui/lessdui/MMTimer.h"

using namespace lessdui;

namespace {

constexpr DWORD kPatience = 5000;  // ms to wait for ticks that must come

class CEvent {
public:
    CEvent() : h_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CEvent() { CloseHandle(h_); }
    void Set() { SetEvent(h_); }
    bool Wait(DWORD ms = kPatience) { return WaitForSingleObject(h_, ms) == WAIT_OBJECT_0; }

private:
    HANDLE h_;
};

class CCounter final : public ITimerCallBack {
public:
    explicit CCounter(int signalAt = 3) : signalAt_(signalAt) {}
    void OnTimer() override {
        if (++ticks == signalAt_) reached.Set();
    }
    std::atomic<int> ticks{0};
    CEvent reached;

private:
    int signalAt_;
};

TEST(MMTimer, RefusesNullCallbackAndZeroDelay) {
    CMMTimer timer;
    CCounter counter;
    EXPECT_EQ(0u, timer.Start(nullptr, 1, 10, false));
    EXPECT_EQ(0u, timer.Start(&counter, 1, 0, false));
    EXPECT_FALSE(timer.IsRunning(1));
}

TEST(MMTimer, PeriodicTicksUntilStopped) {
    CMMTimer timer;
    CCounter counter;
    EXPECT_NE(0u, timer.Start(&counter, 7, 5, false));
    EXPECT_TRUE(timer.IsRunning(7));
    EXPECT_FALSE(timer.IsRunning(8));
    ASSERT_TRUE(counter.reached.Wait()) << "three ticks";
    timer.Stop(7);
    EXPECT_FALSE(timer.IsRunning(7));
    const int after = counter.ticks;
    Sleep(60);
    EXPECT_EQ(after, counter.ticks.load()) << "no tick after Stop returned";
}

TEST(MMTimer, StoppingAnUnknownIdChangesNothing) {
    CMMTimer timer;
    CCounter counter(6);
    ASSERT_NE(0u, timer.Start(&counter, 7, 5, false));
    timer.Stop(99);
    EXPECT_TRUE(timer.IsRunning(7));
    EXPECT_TRUE(counter.reached.Wait()) << "still ticking";
}

TEST(MMTimer, SameIdTwiceMakesTwoEventsStoppedOneAtATime) {
    CMMTimer timer;
    CCounter a, b;
    const UINT first = timer.Start(&a, 5, 5, false);
    const UINT second = timer.Start(&b, 5, 5, false);
    ASSERT_NE(0u, first);
    ASSERT_NE(0u, second);
    EXPECT_NE(first, second);
    timer.Stop(5);
    EXPECT_TRUE(timer.IsRunning(5));
    timer.Stop(5);
    EXPECT_FALSE(timer.IsRunning(5));
}

TEST(MMTimer, OneShotFiresOnceAndStaysListedUntilStopped) {
    CMMTimer timer;
    CCounter counter(1);
    ASSERT_NE(0u, timer.Start(&counter, 3, 5, true));
    ASSERT_TRUE(counter.reached.Wait());
    Sleep(50);
    EXPECT_EQ(1, counter.ticks.load());
    EXPECT_TRUE(timer.IsRunning(3));
    timer.Stop(3);
    EXPECT_FALSE(timer.IsRunning(3));
}

class CStopsItself final : public ITimerCallBack {
public:
    explicit CStopsItself(CMMTimer* timer) : timer_(timer) {}
    void OnTimer() override {
        ++ticks;
        timer_->Stop(4);
        stillRunning = timer_->IsRunning(4);
        done.Set();
    }
    std::atomic<int> ticks{0};
    std::atomic<bool> stillRunning{true};
    CEvent done;

private:
    CMMTimer* timer_;
};

TEST(MMTimer, StoppingFromInsideATickDoesNotWaitForItself) {
    CMMTimer timer;
    CStopsItself callback(&timer);
    ASSERT_NE(0u, timer.Start(&callback, 4, 5, false));
    ASSERT_TRUE(callback.done.Wait()) << "the tick finished: no deadlock";
    EXPECT_FALSE(callback.stillRunning.load());
    EXPECT_FALSE(timer.IsRunning(4));
    Sleep(50);
    EXPECT_EQ(1, callback.ticks.load());
}

class CSlowTick final : public ITimerCallBack {
public:
    void OnTimer() override {
        if (ticks++ > 0) return;
        inside = true;
        entered.Set();
        Sleep(200);
        inside = false;
    }
    std::atomic<int> ticks{0};
    std::atomic<bool> inside{false};
    CEvent entered;
};

TEST(MMTimer, StopWaitsForATickAlreadyRunning) {
    CMMTimer timer;
    CSlowTick callback;
    ASSERT_NE(0u, timer.Start(&callback, 2, 5, false));
    ASSERT_TRUE(callback.entered.Wait());
    timer.Stop(2);
    EXPECT_FALSE(callback.inside.load()) << "Stop returned while the tick still ran";
}

TEST(MMTimer, DestructionWaitsForATickAlreadyRunning) {
    auto timer = std::make_unique<CMMTimer>();
    CSlowTick callback;
    ASSERT_NE(0u, timer->Start(&callback, 2, 5, false));
    ASSERT_TRUE(callback.entered.Wait());
    timer.reset();
    EXPECT_FALSE(callback.inside.load()) << "the timer was destroyed while its tick still ran";
}

}  // namespace
