// A process-wide, reference-counted instance of T, created on first use and
// given up by Release, so that the next run starts with a fresh one.
#pragma once

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
        std::lock_guard guard(Lock());
        if (!instance_)
            instance_ = std::shared_ptr<T>(new T());
        return instance_;
    }

    /// Drops the process's reference. Holders of a reference keep their
    /// object; the next Instance makes a new one.
    static void Release()
    {
        std::shared_ptr<T> last;  // dies after the lock is let go
        std::lock_guard guard(Lock());
        last = std::move(instance_);
    }

protected:
    Singleton() = default;

private:
    friend struct SingletonTestApi<T>;
    // Built thread-safely on first use and kept until exit.
    static std::mutex& Lock()
    {
        static std::mutex lock;
        return lock;
    }

    static inline std::shared_ptr<T> instance_;
};
