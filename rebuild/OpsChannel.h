#pragma once
// Carries main-window operations from a job's thread to the thread that owns their implementation.
// Operations that return nothing are queued; those that return something are waited for. Both go through
// the same receiver's event queue, so none overtakes an earlier one.

#include "rebuild/MainWindowOps.h"

#include <QObject>
#include <QThread>
#include <functional>

// Lives on the implementation's thread for as long as any job may report to it. Detach() (on that
// thread) cuts the jobs off: their operations then do nothing and their questions get the fallback answer.
class OpsRelay : public QObject {
    Q_OBJECT
public:
    explicit OpsRelay(MainWindowOps* ops, QObject* parent = nullptr) : QObject(parent), ops_(ops) {}
    MainWindowOps* ops() const { return ops_; }
    void Detach() { ops_ = nullptr; }

private:
    MainWindowOps* ops_;
};

class OpsChannel {
public:
    explicit OpsChannel(OpsRelay* relay) : relay_(relay) {}

    void Post(std::function<void(MainWindowOps&)> op) const;

    template <typename R>
    R Call(const std::function<R(MainWindowOps&)>& op, R fallback) const
    {
        R result = fallback;
        Run([&](MainWindowOps& ops) { result = op(ops); });
        return result;
    }

private:
    void Run(const std::function<void(MainWindowOps&)>& op) const;
    OpsRelay* relay_;
};
