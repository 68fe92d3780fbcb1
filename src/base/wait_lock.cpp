#include "base/wait_lock.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zelvaro {

#ifdef _WIN32

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "the slim lock and the condition variable are one pointer each");

void WaitLock::lock() {
    AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&slim));
}

void WaitLock::unlock() {
    ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&slim));
}

void WaitCondition::sleep(WaitLock& lock) {
    SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&condition),
                              reinterpret_cast<PSRWLOCK>(&lock.slim), INFINITE, 0);
}

void WaitCondition::notifyAll() {
    WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&condition));
}

#else

void WaitLock::lock() {
    mutex.lock();
}

void WaitLock::unlock() {
    mutex.unlock();
}

void WaitCondition::sleep(WaitLock& lock) {
    // The caller holds the lock and keeps holding it afterwards.
    std::unique_lock<std::mutex> hold(lock.mutex, std::adopt_lock);
    condition.wait(hold);
    hold.release();
}

void WaitCondition::notifyAll() {
    condition.notify_all();
}

#endif

}  // namespace zelvaro
