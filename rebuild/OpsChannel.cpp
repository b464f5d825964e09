#include "rebuild/OpsChannel.h"

namespace {
bool OnRelayThread(const OpsRelay* relay) { return QThread::currentThread() == relay->thread(); }
} // namespace

void OpsChannel::Post(std::function<void(MainWindowOps&)> op) const
{
    OpsRelay* relay = relay_;
    auto deliver = [relay, op = std::move(op)] {
        if (MainWindowOps* ops = relay->ops())
            op(*ops);
    };
    if (OnRelayThread(relay))
        deliver();
    else
        QMetaObject::invokeMethod(relay, std::move(deliver), Qt::QueuedConnection);
}

void OpsChannel::Run(const std::function<void(MainWindowOps&)>& op) const
{
    OpsRelay* relay = relay_;
    auto deliver = [relay, &op] {
        if (MainWindowOps* ops = relay->ops())
            op(*ops);
    };
    if (OnRelayThread(relay))
        deliver();
    else
        QMetaObject::invokeMethod(relay, deliver, Qt::BlockingQueuedConnection);
}
