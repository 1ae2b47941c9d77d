#pragma once
// One thread that runs jobs one at a time, in the order they were queued.
//
// Thread contract: Post may be called from any thread. Jobs run on the job thread only. The
// destructor lets the job in hand finish and drops the rest; a job that must not outlive its
// owner checks the owner's state itself.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pelmora {

class JobThread {
  public:
    JobThread();
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    void Post(std::function<void()> job);
    // True while a job runs or waits.
    bool Busy() const;
    // Drops queued jobs and joins the thread after the job in hand.
    void Shutdown();

  private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace pelmora
