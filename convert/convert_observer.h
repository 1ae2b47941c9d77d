#pragma once
// How a conversion run reports. Thread contract: every call comes from the thread that runs
// ConvertTraceLog; an observer that feeds a window forwards by queued invocation.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelmora {

enum class MessageSeverity { Information, Warning, Error };

class ConvertObserver {
  public:
    virtual ~ConvertObserver() = default;
    // 0-100 over the whole run: reading, then one share per chosen output.
    virtual void OnProgress(int percent) = 0;
    // A message box of the window: the text and its icon.
    virtual void OnMessage(std::string_view text, MessageSeverity severity) = 0;
    // Status-bar text ("Converting done").
    virtual void OnStatus(std::string_view /*text*/) {}
};

// Progress positions of the run (0 .. range) turned into percents, told only when they change,
// and the optional stop flag, polled cheaply.
class ConvertProgress {
  public:
    ConvertProgress(ConvertObserver& observer, std::int64_t range, const std::atomic<bool>* stop)
        : observer_(observer), range_(range > 0 ? range : 1), stop_(stop) {}

    void SetPosition(std::int64_t position) {
        const int percent = static_cast<int>(position * 100 / range_);
        if (percent != last_) {
            last_ = percent;
            observer_.OnProgress(percent);
        }
    }
    // A writer's progress: output counter x 100 + done x 100 / count.
    void SetWriter(std::size_t done, std::size_t count) {
        SetPosition(static_cast<std::int64_t>(outputCounter) * 100 +
                    static_cast<std::int64_t>(count == 0 ? 100 : done * 100 / count));
    }
    bool StopRequested() const {
        return stop_ != nullptr && stop_->load(std::memory_order_relaxed);
    }
    int outputCounter = 0;  // 1 for the first writer run, 2 for the second, ...

  private:
    ConvertObserver& observer_;
    std::int64_t range_;
    const std::atomic<bool>* stop_;
    int last_ = -1;
};

}  // namespace pelmora
