// A lock and a condition to wait on for threads that hand blocks to each
// other. On Windows they are the system's slim lock and condition variable:
// the C++ library's own there are built on semaphores and events, each wait
// and wake-up a trip through the kernel (under Wine through its server, about
// six times as slow); elsewhere they are the standard ones.
#pragma once

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

namespace zelvaro {

class WaitLock {
public:
    WaitLock() = default;
    WaitLock(const WaitLock&) = delete;
    WaitLock& operator=(const WaitLock&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock();
    void unlock();

private:
    friend class WaitCondition;
#ifdef _WIN32
    void* slim = nullptr;  // an SRWLOCK, initialised as SRWLOCK_INIT
#else
    std::mutex mutex;
#endif
};

class WaitCondition {
public:
    WaitCondition() = default;
    WaitCondition(const WaitCondition&) = delete;
    WaitCondition& operator=(const WaitCondition&) = delete;

    // With `lock` held: waits until `ready()` holds, letting go of the lock
    // while asleep.
    template <class Ready>
    void wait(WaitLock& lock, Ready ready) {
        while (!ready())
            sleep(lock);
    }
    void notifyAll();

private:
    // One wait; it may end without a notification.
    void sleep(WaitLock& lock);
#ifdef _WIN32
    void* condition = nullptr;  // a CONDITION_VARIABLE, initialised as CONDITION_VARIABLE_INIT
#else
    std::condition_variable condition;
#endif
};

}  // namespace zelvaro
