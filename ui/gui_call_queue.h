#pragma once
// Calls from the device and work threads into the GUI thread, run in the order they were posted.
//
// Qt's event queue carries only a wake-up per call (a queued invocation by name, built and
// freed inside QtCore); the call itself, with everything it captured, passes through a mutex of
// ours. Qt's queue synchronises in uninstrumented code, so a functor built on a worker and run
// and freed on the GUI thread would otherwise be handed over unseen by ThreadSanitizer.
//
// Thread contract: Post from any thread; the calls run on the thread the queue lives in. Calls
// not yet run when the queue is destroyed are dropped, as Qt drops the events of a deleted
// receiver.
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace pelmora {

class GuiCallQueue : public QObject {
    Q_OBJECT

  public:
    explicit GuiCallQueue(QObject* parent = nullptr);
    ~GuiCallQueue() override;

    void Post(std::function<void()> call);

  private slots:
    // One call per wake-up, so that a call running a nested event loop (a modal box) lets the
    // later ones run meanwhile, in order.
    void RunNext();

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;  // guarded by mutex_
};

}  // namespace pelmora
