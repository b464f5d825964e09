#pragma once
// Carries main-window operations from a job's thread to the thread that owns their implementation.
//
// All operations go through one first-in, first-out queue, so none overtakes an earlier one. Operations
// that return nothing are queued; those that return something, and the rows the scan appends, are waited
// for. The queue is drained in batches, and a waiting job and a draining relay each spin briefly before
// they sleep: a scan that finds a directory every few microseconds would otherwise spend most of its time
// waking threads.

#include "rebuild/MainWindowOps.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Lives on the implementation's thread for as long as any job may report to it. Detach() (on that
// thread) cuts the jobs off: their operations then do nothing and their questions get the fallback answer.
class OpsRelay : public QObject {
    Q_OBJECT
public:
    // An operation receives the implementation, or nullptr once the relay is detached.
    using Op = std::function<void(MainWindowOps*)>;

    explicit OpsRelay(MainWindowOps* ops, QObject* parent = nullptr);
    ~OpsRelay() override;

    MainWindowOps* ops() const { return ops_; }
    void Detach() { ops_ = nullptr; }

    // From any thread. Returns the operation's ticket: it has run once Completed() reaches it.
    std::uint64_t Enqueue(Op op);
    std::uint64_t Completed() const { return completed_.load(std::memory_order_acquire); }
    void WaitFor(std::uint64_t ticket) const;

private:
    void Drain();
    void RunAll(std::vector<Op>& ops);
    void Lock();
    void Unlock() { lock_.clear(std::memory_order_release); }

    // The job spins on completed_ and the relay on queued_: each on a cache line of its own, so that
    // neither spin slows the other thread's writes.
    MainWindowOps* ops_;
    bool draining_ = false;
    alignas(64) std::atomic_flag lock_ = ATOMIC_FLAG_INIT; // held for a push or a swap only
    std::vector<Op> queue_;
    std::uint64_t issued_ = 0;                             // guarded by lock_
    bool drainScheduled_ = false;                          // a Drain is posted or running; guarded by lock_
    alignas(64) std::atomic<bool> queued_{false};          // queue_ is not empty
    alignas(64) std::atomic<std::uint64_t> completed_{0};
};

class OpsChannel {
public:
    explicit OpsChannel(OpsRelay* relay) : relay_(relay) {}

    template <typename F>
    void Post(F op) const
    {
        if (OnRelayThread())
            RunHere(op);
        else
            relay_->Enqueue([op = std::move(op)](MainWindowOps* ops) {
                if (ops)
                    op(*ops);
            });
    }

    // Queues op and returns at once; Finish waits until it has run. Lets a job go on with work that the
    // operation does not depend on, and wait only where it does.
    struct Pending {
        std::uint64_t ticket = 0; // 0: nothing to wait for
    };
    template <typename F>
    Pending Start(F op) const
    {
        if (OnRelayThread()) {
            RunHere(op);
            return {};
        }
        return {relay_->Enqueue([op = std::move(op)](MainWindowOps* ops) {
            if (ops)
                op(*ops);
        })};
    }
    void Finish(Pending& pending) const;

    // Runs op on the relay's thread and waits for it; fallback when the relay is detached.
    template <typename R, typename F>
    R Call(F op, R fallback) const
    {
        R result = fallback;
        Pending pending = Start([&result, &op](MainWindowOps& ops) { result = op(ops); });
        Finish(pending);
        return result;
    }

private:
    bool OnRelayThread() const { return QThread::currentThread() == relay_->thread(); }
    template <typename F>
    void RunHere(F& op) const
    {
        if (MainWindowOps* ops = relay_->ops())
            op(*ops);
    }
    OpsRelay* relay_;
};
