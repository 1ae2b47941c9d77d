#include "core/job_thread.h"

#include <utility>

namespace pelmora {

JobThread::JobThread() : thread_([this] { Run(); }) {}

JobThread::~JobThread() {
    Shutdown();
}

void JobThread::Post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (quit_) {
            return;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool JobThread::Busy() const {
    std::lock_guard lock(mutex_);
    return running_ || !jobs_.empty();
}

void JobThread::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void JobThread::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
            if (quit_) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = true;
        }
        job();
        std::lock_guard lock(mutex_);
        running_ = false;
    }
}

}  // namespace pelmora
