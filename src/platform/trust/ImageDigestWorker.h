// The image digest computed in a thread of its own, so that hashing a
// download overlaps receiving it instead of adding to it.
#pragma once

#include "platform/trust/ImageDigest.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace qz::platform {

/// Takes the file's bytes in order from offset 0, in blocks of any size, and
/// hands them to a hashing thread in chunks of kChunkSize. At most
/// kQueueDepth chunks wait; past that the caller waits, so memory stays at a
/// few chunks whatever the file size and however slow the hashing. The
/// thread runs only between the first bytes and Finish, Cancel or the end of
/// the object. A caller that reads the bytes itself may read them straight
/// into the chunk being filled (Room), which spares copying them.
class ImageDigestWorker {
  public:
    static constexpr std::size_t kChunkSize = 128u << 10;
    static constexpr std::size_t kQueueDepth = 3;

    ImageDigestWorker() = default;
    ImageDigestWorker(const ImageDigestWorker&) = delete;
    ImageDigestWorker& operator=(const ImageDigestWorker&) = delete;
    ~ImageDigestWorker();

    /// The file starts over from offset 0: bytes not yet hashed are dropped.
    void Restart();
    /// The next bytes of the file; copied, so the caller may reuse its buffer,
    /// unless they are the start of the last Room, which they then take up.
    void Update(std::span<const std::uint8_t> bytes);
    /// Where the next bytes may be read to, up to `wanted` of them (at most
    /// kChunkSize); Update with a prefix of it hands them over uncopied. Valid
    /// until the next call on the worker. Empty when the worker hashes in the
    /// caller's thread: then the caller's own buffer serves as well.
    std::span<std::uint8_t> Room(std::size_t wanted);
    /// Waits until every byte given is hashed and ends the thread; the stream
    /// then describes all of them. Further bytes start the thread again.
    const ImageDigestStream& Finish();
    /// Drops what waits, ends the thread and forgets every byte.
    void Cancel();

    /// Chunks that were hashed or waiting at the same time, at most (the
    /// one being filled not counted).
    std::size_t PeakChunks() const { return peakChunks_; }

  private:
    using Buffer = std::unique_ptr<std::uint8_t[]>;
    struct Chunk {
        bool restart = false;
        Buffer bytes;
        std::size_t size = 0;
    };

    Buffer TakeBuffer();
    void Submit(Chunk chunk);
    void Flush();
    void Run();
    void Stop(bool drain);

    ImageDigestStream stream_;
    // The caller's side alone.
    Buffer filling_;
    std::size_t filled_ = 0;
    bool inline_ = false;
    std::size_t peakChunks_ = 0;
    // Shared with the thread, under mutex_.
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable room_;
    std::deque<Chunk> queue_;
    std::vector<Buffer> spare_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace qz::platform
