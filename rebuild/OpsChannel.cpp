#include "rebuild/OpsChannel.h"

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;
// How long a waiting job looks again before it sleeps.
constexpr auto kJobSpin = std::chrono::microseconds(50);
// How long a relay whose queue ran dry looks again before it sleeps: longer than a scan takes to read one
// block from the page cache, so that a scan's reports rarely have to wake it through the event loop.
constexpr auto kRelaySpin = std::chrono::microseconds(200);
// How long one drain may hold the relay's thread before it lets other events through.
constexpr auto kDrainSlice = std::chrono::milliseconds(8);

inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins until ready() or the spin time is over; reads the clock only now and then, it is not free.
template <typename Ready>
bool SpinUntil(Clock::duration spin, Ready ready)
{
    const auto end = Clock::now() + spin;
    for (unsigned i = 1;; ++i) {
        if (ready())
            return true;
        if (i % 64 == 0 && Clock::now() >= end)
            return false;
        CpuRelax();
    }
}
} // namespace

OpsRelay::OpsRelay(MainWindowOps* ops, QObject* parent) : QObject(parent), ops_(ops) {}

OpsRelay::~OpsRelay()
{
    // Nothing may wait for an operation that will never run.
    std::vector<Op> left;
    Lock();
    left.swap(queue_);
    Unlock();
    ops_ = nullptr;
    RunAll(left);
}

void OpsRelay::Lock()
{
    while (lock_.test_and_set(std::memory_order_acquire))
        CpuRelax();
}

std::uint64_t OpsRelay::Enqueue(Op op)
{
    Lock();
    queue_.push_back(std::move(op));
    const std::uint64_t ticket = ++issued_;
    queued_.store(true, std::memory_order_release);
    const bool schedule = !drainScheduled_;
    drainScheduled_ = true;
    Unlock();
    if (schedule)
        QMetaObject::invokeMethod(this, &OpsRelay::Drain, Qt::QueuedConnection);
    return ticket;
}

void OpsRelay::WaitFor(std::uint64_t ticket) const
{
    if (SpinUntil(kJobSpin, [&] { return Completed() >= ticket; }))
        return;
    for (std::uint64_t seen = Completed(); seen < ticket; seen = Completed())
        completed_.wait(seen, std::memory_order_acquire);
}

void OpsRelay::RunAll(std::vector<Op>& ops)
{
    for (Op& op : ops) {
        op(ops_);
        completed_.fetch_add(1, std::memory_order_release);
        completed_.notify_all();
    }
    ops.clear();
}

void OpsRelay::Drain()
{
    if (draining_) // an operation ran a nested event loop; the outer drain goes on after it
        return;
    draining_ = true;
    const auto sliceEnd = Clock::now() + kDrainSlice;
    std::vector<Op> batch;
    for (;;) {
        SpinUntil(kRelaySpin, [this] { return queued_.load(std::memory_order_acquire); });
        Lock();
        if (queue_.empty() || Clock::now() >= sliceEnd) {
            const bool more = !queue_.empty();
            drainScheduled_ = more;
            Unlock();
            if (more) // let other events through, then go on
                QMetaObject::invokeMethod(this, &OpsRelay::Drain, Qt::QueuedConnection);
            draining_ = false;
            return;
        }
        batch.swap(queue_);
        queued_.store(false, std::memory_order_relaxed);
        Unlock();
        RunAll(batch);
    }
}

void OpsChannel::Finish(Pending& pending) const
{
    if (pending.ticket != 0)
        relay_->WaitFor(pending.ticket);
    pending.ticket = 0;
}
