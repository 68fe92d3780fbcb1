#include "audio/l_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace zelvaro {
namespace {

// Records its hooks; run either waits for the stop event, returns at once,
// or ignores the stop event until it is terminated.
class ProbeThread : public LThread {
public:
    enum class Body { WaitForStop, ReturnAtOnce, IgnoreStop };

    explicit ProbeThread(Body b) : body(b) {}
    ~ProbeThread() override { stopThread(5000); }

    HANDLE handle() const { return thread; }
    HANDLE stopHandle() const { return stopEvent; }
    bool waitUntilStarted() {
        for (int i = 0; i < 500 && runs.load() == 0; ++i)
            Sleep(2);
        return runs.load() > 0;
    }

    Body body;
    std::atomic<int> starts{0};
    std::atomic<int> runs{0};
    std::atomic<int> ends{0};
    std::atomic<bool> orderKept{true};
    // The priority the thread had when its first hook ran.
    std::atomic<int> startPriority{THREAD_PRIORITY_ERROR_RETURN};

protected:
    void onThreadStart() override {
        startPriority = GetThreadPriority(GetCurrentThread());
        ++starts;
    }
    void run() override {
        orderKept = orderKept && starts.load() == runs.load() + 1;
        ++runs;
        if (body == Body::ReturnAtOnce)
            return;
        for (;;) {
            if (body == Body::WaitForStop && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0)
                return;
            Sleep(5);
        }
    }
    void onThreadEnd() override {
        orderKept = orderKept && runs.load() == ends.load() + 1;
        ++ends;
    }
};

TEST(LThread, AStartWhileRunningStartsNothingAndKeepsThePriority) {
    ProbeThread t(ProbeThread::Body::WaitForStop);
    t.startThread(THREAD_PRIORITY_LOWEST);
    ASSERT_TRUE(t.waitUntilStarted());
    const HANDLE first = t.handle();
    EXPECT_TRUE(t.isRunning());
    EXPECT_EQ(GetThreadPriority(first), THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(t.startPriority.load(), THREAD_PRIORITY_LOWEST);
    t.startThread(THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(t.handle(), first);
    EXPECT_EQ(GetThreadPriority(first), THREAD_PRIORITY_LOWEST);
    t.stopThread(5000);
    EXPECT_EQ(t.handle(), nullptr);
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(t.runs.load(), 1);
    EXPECT_EQ(t.ends.load(), 1);
    EXPECT_TRUE(t.orderKept.load());
    // The stop event stays signalled until the next start.
    EXPECT_EQ(WaitForSingleObject(t.stopHandle(), 0), WAIT_OBJECT_0);
}

TEST(LThread, AStartAfterTheThreadReturnedStartsANewOneWithTheStopEventReset) {
    ProbeThread t(ProbeThread::Body::ReturnAtOnce);
    t.startThread(THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(t.waitUntilStarted());
    for (int i = 0; i < 500 && t.isRunning(); ++i)
        Sleep(2);
    EXPECT_FALSE(t.isRunning());
    EXPECT_NE(t.handle(), nullptr);  // finished, handle still held
    SetEvent(t.stopHandle());
    t.startThread(THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(WaitForSingleObject(t.stopHandle(), 0), WAIT_TIMEOUT);
    for (int i = 0; i < 500 && t.runs.load() < 2; ++i)
        Sleep(2);
    EXPECT_EQ(t.runs.load(), 2);
    t.stopThread(5000);
    EXPECT_EQ(t.ends.load(), 2);
    EXPECT_TRUE(t.orderKept.load());
}

TEST(LThread, StopWithoutAThreadLeavesTheStopEventAlone) {
    ProbeThread t(ProbeThread::Body::WaitForStop);
    t.stopThread(5000);
    EXPECT_EQ(WaitForSingleObject(t.stopHandle(), 0), WAIT_TIMEOUT);
    EXPECT_FALSE(t.isRunning());
}

TEST(LThread, ABodyThatIgnoresTheStopEventIsTerminatedAfterTheTimeOut) {
    ProbeThread t(ProbeThread::Body::IgnoreStop);
    t.startThread(THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(t.waitUntilStarted());
    t.stopThread(200);
    EXPECT_EQ(t.handle(), nullptr);
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(t.ends.load(), 0);  // terminated inside run
}

// The test program itself serves as the child process of runProcess: run
// with this test selected and ZELVARO_CHILD_SLEEP_MS set, it sleeps.
TEST(LThreadChild, SleepsWhenAsked) {
    const char* ms = std::getenv("ZELVARO_CHILD_SLEEP_MS");
    if (ms != nullptr)
        Sleep(static_cast<DWORD>(std::atoi(ms)));
}

std::string childCommand() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string("\"") + path + "\" --gtest_filter=LThreadChild.SleepsWhenAsked";
}

TEST(LThreadProcess, WaitsForTheProcessOrTheStopEvent) {
    ProbeThread t(ProbeThread::Body::WaitForStop);
    EXPECT_FALSE(t.runProcess("zelvaro-no-such-program-here.exe", 60000));

    SetEnvironmentVariableA("ZELVARO_CHILD_SLEEP_MS", "0");
    EXPECT_TRUE(t.runProcess(childCommand().c_str(), 60000)) << "error " << GetLastError();

    // The stop event ends the wait at once.
    SetEnvironmentVariableA("ZELVARO_CHILD_SLEEP_MS", "3000");
    SetEvent(t.stopHandle());
    const DWORD start = GetTickCount();
    EXPECT_TRUE(t.runProcess(childCommand().c_str(), 60000)) << "error " << GetLastError();
    EXPECT_LT(GetTickCount() - start, 2500u);
    ResetEvent(t.stopHandle());

    // A child that outlives the time-out: false, and the child is left
    // running. Last, so that no earlier case starts a process beside it.
    EXPECT_FALSE(t.runProcess(childCommand().c_str(), 100));
    SetEnvironmentVariableA("ZELVARO_CHILD_SLEEP_MS", nullptr);
}

}  // namespace
}  // namespace zelvaro
