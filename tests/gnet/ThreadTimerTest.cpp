// The work-thread and timer kit: ordering, stopping and timer replacement.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <memory>
#include <vector>

#include "gnet/TQTimer.h"
#include "gnet/Thread.h"

namespace {

class RecordingTask : public gnet::IThreadTask {
public:
    RecordingTask(std::vector<int>* log, int id, DWORD sleepMs = 0) : log_(log), id_(id), sleepMs_(sleepMs) {}
    bool RunThreadTask() override {
        if (sleepMs_) Sleep(sleepMs_);
        log_->push_back(id_);
        delete this;
        return true;
    }

private:
    std::vector<int>* log_;
    int id_;
    DWORD sleepMs_;
};

class CountingTimer : public gnet::ITQTimerCallBack {
public:
    void OnTimer(uint32_t id) override { InterlockedIncrement(&fired_[id & 7]); }
    LONG Fired(uint32_t id) const { return fired_[id & 7]; }

private:
    volatile LONG fired_[8] = {0};
};

TEST(ThreadTest, QueuedTasksDrainInOrderBeforeTheThreadEnds) {
    std::vector<int> log;
    gnet::CThread thread(L"drain");
    ASSERT_TRUE(thread.Start());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(thread.PostTask(new RecordingTask(&log, i, 20)));
    thread.Stop();
    thread.WaitForExit();
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), log);
}

TEST(ThreadTest, TaskPostedAfterStopNeverRuns) {
    std::vector<int> log;
    gnet::CThread thread(L"stopped");
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    RecordingTask* late = new RecordingTask(&log, 99);
    EXPECT_FALSE(thread.PostTask(late));
    delete late;
    thread.WaitForExit();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(thread.Start());
}

TEST(ThreadTest, SecondStartMakesNoSecondThread) {
    std::vector<int> log;
    gnet::CThread thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Start());
    thread.PostTask(new RecordingTask(&log, 1));
    thread.WaitForExit();
    EXPECT_EQ(1u, log.size());
}

TEST(ThreadTest, StopBeforeStartLeavesTheThreadStartable) {
    std::vector<int> log;
    gnet::CThread thread;
    thread.Stop();
    ASSERT_TRUE(thread.Start());
    thread.PostTask(new RecordingTask(&log, 7));
    thread.WaitForExit();
    EXPECT_EQ((std::vector<int>{7}), log);
}

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// A download runs one thread per channel; a timer queue made up front for
// each of them (nothing arms their delay timers) would cost one more system
// thread apiece under Wine, close to 1 MiB of working set each.
TEST(ThreadTest, EachStartedThreadAddsOneSystemThread) {
    const int kThreads = 6;
    int before = ThreadsOfThisProcess();
    ASSERT_GT(before, 0);
    std::vector<std::unique_ptr<gnet::CThread>> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back(new gnet::CThread(L"count_" + std::to_wstring(i)));
        ASSERT_TRUE(threads.back()->Start());
    }
    Sleep(200);
    EXPECT_EQ(before + kThreads, ThreadsOfThisProcess());
    threads.clear();
}

TEST(TQTimerTest, PeriodicTimerFiresUntilKilled) {
    CountingTimer counter;
    gnet::CTQTimer timers;
    timers.SetCallBack(&counter);
    ASSERT_TRUE(timers.SetTimer(1, 50, 0));
    Sleep(400);
    EXPECT_TRUE(timers.KillTimer(1));
    LONG fired = counter.Fired(1);
    EXPECT_GE(fired, 3);
    Sleep(200);
    EXPECT_EQ(fired, counter.Fired(1));
    EXPECT_FALSE(timers.IsTimerExist(1));
}

TEST(TQTimerTest, OneShotFiresOnceAndStaysArmedUntilKilled) {
    CountingTimer counter;
    gnet::CTQTimer timers;
    timers.SetCallBack(&counter);
    ASSERT_TRUE(timers.SetTimer(2, 30, 1));
    Sleep(300);
    EXPECT_EQ(1, counter.Fired(2));
    EXPECT_TRUE(timers.IsTimerExist(2));
    EXPECT_TRUE(timers.KillTimer(2));
    EXPECT_FALSE(timers.KillTimer(2));
}

TEST(TQTimerTest, RearmingReplacesTheOldDueTime) {
    CountingTimer counter;
    gnet::CTQTimer timers;
    timers.SetCallBack(&counter);
    ASSERT_TRUE(timers.SetTimer(3, 100, 1));
    ASSERT_TRUE(timers.SetTimer(3, 5000, 1));
    Sleep(400);
    EXPECT_EQ(0, counter.Fired(3));
    EXPECT_TRUE(timers.KillTimer(3));
}

TEST(TQTimerTest, KillingOrAskingBeforeAnyTimerWasArmedAnswersFalse) {
    CountingTimer counter;
    gnet::CTQTimer timers;
    timers.SetCallBack(&counter);
    EXPECT_FALSE(timers.IsTimerExist(1));
    EXPECT_FALSE(timers.KillTimer(1));
    ASSERT_TRUE(timers.SetTimer(1, 30, 1));
    Sleep(250);
    EXPECT_EQ(1, counter.Fired(1));
    EXPECT_TRUE(timers.KillTimer(1));
}

TEST(TQTimerTest, KillingAnUnarmedIdChangesNothing) {
    CountingTimer counter;
    gnet::CTQTimer timers;
    timers.SetCallBack(&counter);
    ASSERT_TRUE(timers.SetTimer(4, 40, 0));
    EXPECT_FALSE(timers.KillTimer(5));
    EXPECT_TRUE(timers.IsTimerExist(4));
    timers.KillTimer(4);
}

}  // namespace
