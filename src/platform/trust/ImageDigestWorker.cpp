#include "platform/trust/ImageDigestWorker.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace qz::platform {

ImageDigestWorker::~ImageDigestWorker() { Cancel(); }

void ImageDigestWorker::Restart()
{
    filling_.clear();
    if (!thread_.joinable()) {
        stream_.Restart();
        return;
    }
    {
        // What waits belongs to the file that is void now.
        const std::lock_guard lock(mutex_);
        for (Chunk& chunk : queue_) {
            if (!chunk.restart) {
                spare_.push_back(std::move(chunk.bytes));
            }
        }
        queue_.clear();
    }
    Submit({true, {}});
}

void ImageDigestWorker::Update(std::span<const std::uint8_t> bytes)
{
    if (inline_) {
        stream_.Update(bytes);
        return;
    }
    while (!bytes.empty()) {
        if (filling_.capacity() < kChunkSize) {
            filling_.reserve(kChunkSize);
        }
        const std::size_t take = std::min(kChunkSize - filling_.size(), bytes.size());
        filling_.insert(filling_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (filling_.size() == kChunkSize) {
            Flush();
        }
    }
}

void ImageDigestWorker::Flush()
{
    if (!filling_.empty()) {
        Submit({false, std::exchange(filling_, {})});
    }
}

void ImageDigestWorker::Submit(Chunk chunk)
{
    if (!thread_.joinable() && !inline_) {
        stop_ = false;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had: hashing in the caller's time is slower, not wrong.
            inline_ = true;
        }
    }
    if (inline_) {
        if (chunk.restart) {
            stream_.Restart();
        } else {
            stream_.Update(chunk.bytes);
        }
        filling_ = std::move(chunk.bytes);
        filling_.clear();
        return;
    }
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < kQueueDepth; });
    queue_.push_back(std::move(chunk));
    peakChunks_ = std::max(peakChunks_, queue_.size() + (busy_ ? 1 : 0));
    if (filling_.capacity() == 0 && !spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
        filling_.clear();
    }
    lock.unlock();
    work_.notify_one();
}

void ImageDigestWorker::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;
        }
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        room_.notify_one();
        if (chunk.restart) {
            stream_.Restart();
        } else {
            stream_.Update(chunk.bytes);
        }
        lock.lock();
        busy_ = false;
        if (!chunk.restart) {
            chunk.bytes.clear();
            spare_.push_back(std::move(chunk.bytes));
        }
    }
}

// With `drain`, the thread hashes what waits before it ends; without, it is dropped.
void ImageDigestWorker::Stop(bool drain)
{
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            if (!drain) {
                queue_.clear();
            }
            stop_ = true;
        }
        work_.notify_one();
        thread_.join();
    }
    // Between downloads the buffers are not kept.
    spare_ = {};
    queue_.clear();
}

const ImageDigestStream& ImageDigestWorker::Finish()
{
    if (!thread_.joinable()) {
        // A small file never needs the thread.
        stream_.Update(filling_);
    } else {
        Flush();
        Stop(true);
    }
    filling_ = {};
    return stream_;
}

void ImageDigestWorker::Cancel()
{
    Stop(false);
    filling_ = {};
    stream_.Restart();
}

} // namespace qz::platform
