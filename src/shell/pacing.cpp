// Sleeping until the next 60 Hz period, on the standard library's condition
// variable: the same code on POSIX and on MinGW-w64's posix threads.
#include "pacing.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "shell.h"

namespace {

// The longest sleep between two looks at the flags: a flag stored by a
// writer that does not wake the waiter costs at most one period.
constexpr std::chrono::microseconds SAFETY_NET(1000000 / 60 + 1);

std::mutex flags_lock;         // held by the waiter only while it tests the flags
std::condition_variable woken;  // signalled by wake_frame_waiter

// winpthreads makes a statically initialised mutex or condition variable on
// its first use, with an allocation: let that happen on the main thread at
// start-up, not in the timer callback.
struct FirstUse {
    FirstUse()
    {
        std::unique_lock<std::mutex> hold(flags_lock);
        woken.wait_for(hold, std::chrono::microseconds(0));
        woken.notify_one();
    }
} first_use;

}  // namespace

void wake_frame_waiter(void)
{
    // Taking the lock once orders this wake-up after the waiter's test of the
    // flags: a store that lands between that test and the sleep is not lost.
    { std::lock_guard<std::mutex> hold(flags_lock); }
    woken.notify_one();
}

void wait_for_frame(void)
{
    std::unique_lock<std::mutex> hold(flags_lock);
    while (!frame_tick && !quit_requested)
        woken.wait_for(hold, SAFETY_NET);
}
