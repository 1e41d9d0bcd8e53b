#include "platform/trust/ImageDigestWorker.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace qz::platform {

ImageDigestWorker::~ImageDigestWorker() { Cancel(); }

void ImageDigestWorker::Restart()
{
    filled_ = 0;
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
    Submit({true, {}, 0});
}

ImageDigestWorker::Buffer ImageDigestWorker::TakeBuffer()
{
    {
        const std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            Buffer buffer = std::move(spare_.back());
            spare_.pop_back();
            return buffer;
        }
    }
    return std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
}

std::span<std::uint8_t> ImageDigestWorker::Room(std::size_t wanted)
{
    wanted = std::min(wanted, kChunkSize);
    if (inline_ || wanted == 0) {
        return {};
    }
    // A read is not split over two chunks: a short room goes out as it is.
    if (filling_ && kChunkSize - filled_ < wanted) {
        Flush();
        if (inline_) {
            return {};
        }
    }
    if (!filling_) {
        filling_ = TakeBuffer();
    }
    return {filling_.get() + filled_, wanted};
}

void ImageDigestWorker::Update(std::span<const std::uint8_t> bytes)
{
    if (inline_) {
        stream_.Update(bytes);
        return;
    }
    if (filling_ && bytes.data() == filling_.get() + filled_ && bytes.size() <= kChunkSize - filled_) {
        // Read into the room: the bytes are in place already.
        filled_ += bytes.size();
        if (filled_ == kChunkSize) {
            Flush();
        }
        return;
    }
    while (!bytes.empty()) {
        if (!filling_) {
            filling_ = TakeBuffer();
        }
        const std::size_t take = std::min(kChunkSize - filled_, bytes.size());
        std::memcpy(filling_.get() + filled_, bytes.data(), take);
        filled_ += take;
        bytes = bytes.subspan(take);
        if (filled_ == kChunkSize) {
            Flush();
        }
    }
}

void ImageDigestWorker::Flush()
{
    if (filled_ != 0) {
        Submit({false, std::move(filling_), std::exchange(filled_, 0)});
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
            stream_.Update({chunk.bytes.get(), chunk.size});
        }
        filling_ = {};
        return;
    }
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < kQueueDepth; });
    queue_.push_back(std::move(chunk));
    peakChunks_ = std::max(peakChunks_, queue_.size() + (busy_ ? 1 : 0));
    if (!filling_ && !spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
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
            stream_.Update({chunk.bytes.get(), chunk.size});
        }
        lock.lock();
        busy_ = false;
        if (chunk.bytes) {
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
    std::vector<Buffer>().swap(spare_);
    queue_.clear();
}

const ImageDigestStream& ImageDigestWorker::Finish()
{
    if (!thread_.joinable()) {
        // A small file never needs the thread.
        if (filled_ != 0) {
            stream_.Update({filling_.get(), filled_});
        }
    } else {
        Flush();
        Stop(true);
    }
    filling_ = {};
    filled_ = 0;
    return stream_;
}

void ImageDigestWorker::Cancel()
{
    Stop(false);
    filling_ = {};
    filled_ = 0;
    stream_.Restart();
}

} // namespace qz::platform
