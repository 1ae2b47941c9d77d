#include "ui/gui_call_queue.h"

#include <QMetaObject>
#include <utility>

namespace pelmora {

GuiCallQueue::GuiCallQueue(QObject* parent) : QObject(parent) {}

GuiCallQueue::~GuiCallQueue() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(calls_);
}

void GuiCallQueue::Post(std::function<void()> call) {
    if (!call) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    // By name: the functor overload would build its slot object here, on the caller's thread.
    QMetaObject::invokeMethod(this, "RunNext", Qt::QueuedConnection);
}

void GuiCallQueue::RunNext() {
    std::function<void()> call;
    {
        std::lock_guard lock(mutex_);
        if (calls_.empty()) {
            return;
        }
        call = std::move(calls_.front());
        calls_.pop_front();
    }
    call();
}

}  // namespace pelmora
