#include "platform/WriteGuard.h"

#include <atomic>
#include <unistd.h>

namespace platform {
namespace {
// Both flags are sequentially consistent: a writer that raises the count and then sees no pending exit
// is certain to be seen by an exit request that sets the code and then reads the count.
std::atomic<int> g_writesInProgress{0};
std::atomic<int> g_pendingExit{-1};
static_assert(std::atomic<int>::is_always_lock_free);
} // namespace

bool BeginCriticalWrite()
{
    g_writesInProgress.fetch_add(1);
    if (g_pendingExit.load() >= 0) {
        EndCriticalWrite();
        return false;
    }
    return true;
}

void EndCriticalWrite()
{
    if (g_writesInProgress.fetch_sub(1) == 1) {
        const int code = g_pendingExit.load();
        if (code >= 0)
            _exit(code);
    }
}

void ExitWhenWritesDone(int code)
{
    int expected = -1;
    g_pendingExit.compare_exchange_strong(expected, code);
    if (g_writesInProgress.load() == 0)
        _exit(g_pendingExit.load());
}

void ExitAfterWrites(int code)
{
    ExitWhenWritesDone(code);
    for (;;) // the writer ends the process when its write has returned
        ::pause();
}

} // namespace platform
