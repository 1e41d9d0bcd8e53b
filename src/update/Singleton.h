// A process-wide, reference-counted instance of T, created on first use and
// given up by Release, so that the next run starts with a fresh one.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

/// Lets tests look at the slot and the lock; defined by the tests.
template <class T>
struct SingletonTestApi;

template <class T>
class Singleton {
public:
    virtual ~Singleton() = default;

    /// A new shared reference to the one instance, created when there is none.
    static std::shared_ptr<T> Instance()
    {
        std::mutex* lock = lock_.load(std::memory_order_acquire);
        if (lock == nullptr) {
            // Two first callers may race: the loser drops its own lock and
            // takes the published one.
            auto fresh = std::make_unique<std::mutex>();
            std::mutex* expected = nullptr;
            if (lock_.compare_exchange_strong(expected, fresh.get(), std::memory_order_acq_rel))
                lock = fresh.release();
            else
                lock = expected;
        }
        std::lock_guard guard(*lock);
        if (!instance_)
            instance_ = std::shared_ptr<T>(new T());
        return instance_;
    }

    /// Drops the process's reference and the lock. Holders of a reference
    /// keep their object; the next Instance makes a new one. Must not run
    /// while another thread is inside Instance (runs never overlap).
    static void Release()
    {
        std::mutex* lock = lock_.load(std::memory_order_acquire);
        if (lock == nullptr)
            return;
        std::shared_ptr<T> last;
        {
            std::lock_guard guard(*lock);
            if (!instance_)
                return;
            last = std::move(instance_);
            lock_.store(nullptr, std::memory_order_release);
        }
        delete lock;
    }

protected:
    Singleton() = default;

private:
    friend struct SingletonTestApi<T>;
    static inline std::shared_ptr<T> instance_;
    static inline std::atomic<std::mutex*> lock_{nullptr};
};
