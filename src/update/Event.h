// An auto-reset event: one Wait returns for each SetEvent.
#pragma once

#include <condition_variable>
#include <mutex>

namespace qz::update {

class CEvent {
public:
    /// Signals the event; a waiting (or the next) Wait returns and resets it.
    void SetEvent()
    {
        {
            std::lock_guard guard(mutex_);
            signalled_ = true;
        }
        condition_.notify_one();
    }

    /// Waits without a time limit until the event is signalled, then resets it.
    void Wait()
    {
        std::unique_lock guard(mutex_);
        condition_.wait(guard, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_ = false;
};

}  // namespace qz::update
