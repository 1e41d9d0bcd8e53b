#include "platform/trust/Authenticode.h"
#include "platform/trust/ImageDigestWorker.h"

#include "support/PeWriter.h"
#include "support/SigningKitSuite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace qz::platform;
using qz::test::PeWriter;
using qz::test::ReadFileBytes;

namespace {

class ImageDigestWorkerTest : public qz::test::SigningKitSuite {
  protected:
    void SetUp() override
    {
        SigningKitSuite::SetUp();
        // Several chunks of varied bytes, and an end off the chunk grid.
        PeWriter writer;
        std::vector<std::uint8_t> big((5u << 20) + 12345);
        for (std::size_t i = 0; i < big.size(); ++i) {
            big[i] = static_cast<std::uint8_t>(i * 2654435761u >> 11);
        }
        writer.AddSection(".big", big);
        const auto in = dir_ / "big.in";
        writer.WriteTo(in);
        const auto out = dir_ / "big.exe";
        std::string output;
        ASSERT_TRUE(kit_->Sign(in, out, {}, &output)) << output;
        bytes_ = ReadFileBytes(out);
        ImageDigestStream reference;
        reference.Update(bytes_);
        ASSERT_EQ(reference.GetState(), ImageDigestStream::State::Hashing);
        layout_ = reference.Layout();
        expected_ = reference.Digest(layout_, EVP_sha256(), bytes_.size()).value();
    }

    static void Feed(ImageDigestWorker& worker, std::span<const std::uint8_t> bytes, std::size_t block)
    {
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min(block, bytes.size() - at);
            worker.Update(bytes.subspan(at, n));
            at += n;
        }
    }

    // The stream describes exactly the signed file, and the check after the
    // last byte takes it and agrees.
    void ExpectWhole(const ImageDigestStream& stream)
    {
        EXPECT_EQ(stream.Fed(), bytes_.size());
        EXPECT_EQ(stream.Digest(layout_, EVP_sha256(), bytes_.size()), expected_);
        const MemoryByteSource source(bytes_);
        const AuthenticodeVerdict verdict = CheckAuthenticode(source, &stream);
        EXPECT_TRUE(verdict.valid) << verdict.reason;
        EXPECT_TRUE(verdict.streamedDigest);
    }

    std::vector<std::uint8_t> bytes_;
    ImageDigestLayout layout_;
    std::vector<std::uint8_t> expected_;
};

} // namespace

TEST_F(ImageDigestWorkerTest, ARestartOrCancelMidBodyForgetsWhatWaits)
{
    // Another file's bytes, some still queued or in the chunk being filled
    // when the body starts over, must not reach the new digest.
    std::vector<std::uint8_t> other = bytes_;
    std::reverse(other.begin() + 4096, other.end());
    for (const std::size_t cut : {std::size_t{1000}, ImageDigestWorker::kChunkSize, std::size_t{(3u << 20) + 17}}) {
        SCOPED_TRACE("restart after " + std::to_string(cut));
        ImageDigestWorker worker;
        worker.Restart();
        Feed(worker, std::span(other).first(cut), 4099);
        worker.Restart();
        Feed(worker, bytes_, 65536);
        ExpectWhole(worker.Finish());
    }

    // A cancel drops what waits, and the worker starts clean afterwards.
    ImageDigestWorker worker;
    Feed(worker, std::span(bytes_).first(4u << 20), 65536);
    worker.Cancel();
    EXPECT_EQ(worker.Finish().Fed(), 0u);
    Feed(worker, bytes_, 65536);
    ExpectWhole(worker.Finish());

    // A transfer that stops mid-body just drops its worker: the thread ends
    // with it, at once, with chunks still queued.
    for (int i = 0; i < 20; ++i) {
        auto abandoned = std::make_unique<ImageDigestWorker>();
        Feed(*abandoned, std::span(bytes_).first(2u << 20), 65536);
        abandoned.reset();
    }
}

TEST_F(ImageDigestWorkerTest, BytesReadIntoTheRoomAreHashedInPlace)
{
    // Reads of the transfer's size, short reads that leave a room too small
    // for the next one, reads that fail (a room asked for and never used),
    // and copied blocks in between: the digest is the file's all the same.
    ImageDigestWorker worker;
    std::size_t at = 0;
    std::size_t uncopied = 0;
    for (std::size_t round = 0; at < bytes_.size(); ++round) {
        const std::size_t want = round % 7 == 3 ? 5000 : 65536;
        const std::span<std::uint8_t> room = worker.Room(want);
        ASSERT_EQ(room.size(), want);
        if (round % 11 == 5) {
            continue; // the read failed: nothing handed over
        }
        const std::size_t n = std::min({round % 5 == 1 ? std::size_t{40000} : want, room.size(), bytes_.size() - at});
        if (round % 13 == 7) {
            worker.Update(std::span(bytes_).subspan(at, n));
        } else {
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), n, room.begin());
            worker.Update(room.first(n));
            uncopied += n;
        }
        at += n;
    }
    EXPECT_GT(uncopied, bytes_.size() / 2);
    ExpectWhole(worker.Finish());
    EXPECT_LE(worker.PeakChunks(), ImageDigestWorker::kQueueDepth + 1);

    // A room filled with another file's bytes and then restarted over is
    // forgotten; a room is never larger than a chunk.
    ImageDigestWorker restarted;
    std::vector<std::uint8_t> other = bytes_;
    std::reverse(other.begin() + 4096, other.end());
    for (std::size_t done = 0; done < (1u << 20); done += 65536) {
        const std::span<std::uint8_t> room = restarted.Room(65536);
        std::copy_n(other.begin() + static_cast<std::ptrdiff_t>(done), room.size(), room.begin());
        restarted.Update(room);
    }
    restarted.Restart();
    EXPECT_EQ(restarted.Room(10u << 20).size(), ImageDigestWorker::kChunkSize);
    for (std::size_t done = 0; done < bytes_.size();) {
        const std::span<std::uint8_t> room = restarted.Room(65536);
        const std::size_t n = std::min(room.size(), bytes_.size() - done);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(done), n, room.begin());
        restarted.Update(room.first(n));
        done += n;
    }
    ExpectWhole(restarted.Finish());
}
