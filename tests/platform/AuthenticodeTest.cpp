#include "platform/trust/Authenticode.h"
#include "platform/trust/CertificateTable.h"
#include "platform/trust/ImageDigest.h"

#include "PeBytes.h"
#include "support/PeWriter.h"
#include "support/SigningKitSuite.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace qz::platform;
using qz::test::PeWriter;
using qz::test::ReadFileBytes;
using qz::test::SigningKit;
using qz::test::WriteFileBytes;
using Signer = SigningKit::Signer;

namespace {

// Counts what a check reads.
class CountingSource : public ByteSource {
  public:
    explicit CountingSource(std::span<const std::uint8_t> bytes) : memory_(bytes) {}
    std::uint64_t Size() const override { return memory_.Size(); }
    bool Read(std::uint64_t offset, std::span<std::uint8_t> dest) const override
    {
        read_ += dest.size();
        return memory_.Read(offset, dest);
    }
    std::uint64_t BytesRead() const { return read_; }

  private:
    MemoryByteSource memory_;
    mutable std::uint64_t read_ = 0;
};

// Feeds `bytes` in blocks of `block`; the 1-byte feed goes to 64 KiB blocks
// after the first 256 KiB to keep large files quick.
void Feed(ImageDigestStream& stream, std::span<const std::uint8_t> bytes, std::size_t block)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = block == 1 && at >= (256u << 10) ? 65536 : block;
        const std::size_t n = std::min(size, bytes.size() - at);
        stream.Update(bytes.subspan(at, n));
        at += n;
    }
}

const std::vector<const EVP_MD*> kAllDigests = {EVP_sha1(), EVP_sha256(), EVP_sha384(), EVP_sha512()};

// The check after a streamed digest, fed in 1-byte, odd and 64 KiB blocks,
// decides as `full` did; a stream of the algorithm the signature names
// spares the read of the file whenever the full check got to the digest.
void ExpectStreamedVerdict(const std::vector<std::uint8_t>& bytes, const AuthenticodeVerdict& full)
{
    for (const std::size_t block : {std::size_t{1}, std::size_t{4099}, std::size_t{65536}}) {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        ImageDigestStream stream(kAllDigests);
        Feed(stream, bytes, block);
        const CountingSource source(bytes);
        const AuthenticodeVerdict streamed = CheckAuthenticode(source, &stream);
        EXPECT_EQ(streamed.valid, full.valid);
        EXPECT_EQ(streamed.reason, full.reason);
        EXPECT_FALSE(full.streamedDigest);
        if (full.valid || full.reason == "image digest does not match the signed digest") {
            EXPECT_TRUE(streamed.streamedDigest);
        }
        if (streamed.streamedDigest) {
            const auto image = ParseBytes(bytes);
            ASSERT_TRUE(image);
            const std::uint64_t table = image->Directory(PeImage::kDirectorySecurity)->size;
            EXPECT_LE(source.BytesRead(), image->HeadersEnd() + table);
        }
    }
}

class Authenticode : public qz::test::SigningKitSuite {
  protected:
    std::filesystem::path Unsigned(const std::string& name, const PeWriter& writer = PeWriter())
    {
        const auto path = dir_ / name;
        writer.WriteTo(path);
        return path;
    }

    std::filesystem::path Signed(const std::string& name, const SigningKit::SignOptions& options,
                                 const PeWriter& writer = PeWriter())
    {
        const auto in = Unsigned(name + ".in", writer);
        const auto out = dir_ / name;
        std::string output;
        EXPECT_TRUE(kit_->Sign(in, out, options, &output)) << output;
        return out;
    }

    // The full check of the file; its verdict must be that of the digest
    // streamed over the same bytes.
    static AuthenticodeVerdict Check(const std::filesystem::path& path)
    {
        const AuthenticodeVerdict verdict = CheckAuthenticode(path.wstring());
        if (std::filesystem::is_regular_file(path)) {
            ExpectStreamedVerdict(ReadFileBytes(path), verdict);
        }
        return verdict;
    }

    static std::size_t SecurityEntry(const std::vector<std::uint8_t>& bytes)
    {
        return ParseBytes(bytes).value().DirectoryEntryOffset(PeImage::kDirectorySecurity);
    }
};

} // namespace

TEST_F(Authenticode, AcceptsValidSignatures)
{
    const std::time_t now = std::time(nullptr);
    struct Case {
        const char* name;
        SigningKit::SignOptions options;
        bool is64;
    };
    const Case cases[] = {
        {"sha256.exe", {Signer::Normal, "sha256", {}, false}, true},
        {"sha1.exe", {Signer::Normal, "sha1", {}, false}, true},
        {"sha512-pe32.exe", {Signer::Normal, "sha512", {}, false}, false},
        {"stamped.exe", {Signer::Normal, "sha256", now, false}, true},
        {"expired-stamped.exe", {Signer::Expired, "sha256", kMid2021, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = Signed(c.name, c.options, PeWriter(c.is64));
        const AuthenticodeVerdict verdict = Check(path);
        EXPECT_TRUE(verdict.valid) << verdict.reason;
        EXPECT_TRUE(VerifyAuthenticode(path.wstring()));
    }
    EXPECT_NE(Check(dir_ / "stamped.exe").reason.find("RFC 3161"), std::string::npos);
    EXPECT_NE(Check(dir_ / "sha256.exe").reason.find("Qz Test signer"), std::string::npos);
}

TEST_F(Authenticode, RejectsUntrustedExpiredAndMisusedSigners)
{
    struct Case {
        const char* name;
        SigningKit::SignOptions options;
        const char* reason;
    };
    const Case cases[] = {
        {"expired.exe", {Signer::Expired, "sha256", {}, false}, "expired"},
        {"expired-late-stamp.exe", {Signer::Expired, "sha256", kStart2023, false}, "expired (RFC 3161"},
        {"self.exe", {Signer::SelfSigned, "sha256", {}, false}, "self-signed"},
        {"server.exe", {Signer::NoCodeSigning, "sha256", {}, false}, "does not allow code signing"},
        {"md5.exe", {Signer::Normal, "md5", {}, false}, "algorithm is not accepted"},
        {"expired-rogue-stamp.exe",
         {Signer::Expired, "sha256", kMid2021, false, Signer::UntrustedTimeStampAuthority},
         "expired (timestamp does not verify)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = Signed(c.name, c.options);
        EXPECT_FALSE(VerifyAuthenticode(path.wstring()));
        EXPECT_NE(Check(path).reason.find(c.reason), std::string::npos) << Check(path).reason;
    }

    // The store is read at each call: trusting the self-signed certificate makes it valid.
    const auto store = dir_ / "store.pem";
    std::ofstream(store) << std::ifstream(kit_->RootCertificate()).rdbuf()
                         << std::ifstream(kit_->SelfSignedCertificate()).rdbuf();
    ::setenv("SSL_CERT_FILE", store.c_str(), 1);
    EXPECT_TRUE(VerifyAuthenticode((dir_ / "self.exe").wstring())) << Check(dir_ / "self.exe").reason;
    // A store without the kit's root trusts none of its signers.
    ::setenv("SSL_CERT_FILE", (dir_ / "missing.pem").c_str(), 1);
    const auto normal = Signed("normal.exe", {});
    EXPECT_FALSE(VerifyAuthenticode(normal.wstring()));
    ::unsetenv("SSL_CERT_FILE");
    const auto certs = dir_ / "certs";
    std::filesystem::create_directories(certs);
    ::setenv("SSL_CERT_DIR", certs.c_str(), 1);
    EXPECT_FALSE(VerifyAuthenticode(normal.wstring()));
    // A hashed directory holding the root is a store of its own.
    std::string hash;
    const std::string root = kit_->RootCertificate().string();
    ASSERT_EQ(SigningKit::Run("openssl x509 -hash -noout -in '" + root + "'", &hash), 0);
    std::filesystem::copy_file(kit_->RootCertificate(), certs / (hash.substr(0, hash.find('\n')) + ".0"));
    EXPECT_TRUE(VerifyAuthenticode(normal.wstring())) << Check(normal).reason;
    ::unsetenv("SSL_CERT_DIR");
}

TEST_F(Authenticode, RejectsChangedAndAppendedBytes)
{
    const auto path = Signed("signed.exe", {Signer::Normal, "sha256", {}, false});
    const auto original = ReadFileBytes(path);
    const std::size_t entry = SecurityEntry(original);
    const std::size_t checkSum = ParseBytes(original).value().CheckSumOffset();
    ASSERT_NE(entry, 0u);
    const std::uint32_t tableOffset = Get32(original, entry);
    const std::uint32_t tableSize = Get32(original, entry + 4);
    ASSERT_EQ(tableOffset + tableSize, original.size());

    struct Case {
        const char* name;
        bool valid;
        const char* reason;
        std::function<void(std::vector<std::uint8_t>&)> change;
    };
    const Case cases[] = {
        {"unchanged", true, "signed by", [](auto&) {}},
        {"checksum field", true, "signed by", [&](auto& b) { b[checkSum + 1] ^= 0x5a; }},
        {"byte in a section", false, "image digest does not match", [&](auto& b) { b[0x300] ^= 1; }},
        {"byte in the headers", false, "image digest does not match", [&](auto& b) { b[0x40] ^= 1; }},
        {"byte in the signature", false, "does not verify",
         [&](auto& b) { b[tableOffset + tableSize / 2] ^= 1; }},
        {"bytes after the table", false, "data follows the certificate table",
         [&](auto& b) { b.insert(b.end(), 16, 0x41); }},
        {"bytes in the padding, both sizes grown", false, "length does not match", [&](auto& b) {
             b.insert(b.end(), {'h', 'i', 'd', 'd', 'e', 'n', '!', '!'});
             Put32(b, entry + 4, tableSize + 8);
             Put32(b, tableOffset, Get32(b, tableOffset) + 8);
         }},
        {"second entry in the table", false, "more than one",
         [&](auto& b) { b.insert(b.end(), {8, 0, 0, 0, 0, 2, 2, 0}); Put32(b, entry + 4, tableSize + 8); }},
        {"truncated table", false, "outside the file", [&](auto& b) { b.resize(b.size() - 64); }},
        {"table size shrunk to the file", false, "no DER structure",
         [&](auto& b) { b.resize(b.size() - 64); Put32(b, entry + 4, tableSize - 64); }},
        {"table offset past the end", false, "outside the file",
         [&](auto& b) { Put32(b, entry, 0xfffffff8); }},
        {"table of 4 GiB", false, "outside the file", [&](auto& b) { Put32(b, entry + 4, 0xffffffff); }},
        {"table inside the headers", false, "outside the file",
         [&](auto& b) { Put32(b, entry, 0x40); Put32(b, entry + 4, 0x40); }},
        {"wrong revision", false, "not a revision 2", [&](auto& b) { b[tableOffset + 5] = 1; }},
        {"unsigned", false, "not signed",
         [&](auto& b) { b.resize(tableOffset); Put32(b, entry, 0); Put32(b, entry + 4, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = original;
        c.change(bytes);
        const auto changed = dir_ / "changed.exe";
        WriteFileBytes(changed, bytes);
        const AuthenticodeVerdict verdict = Check(changed);
        EXPECT_EQ(verdict.valid, c.valid) << verdict.reason;
        EXPECT_NE(verdict.reason.find(c.reason), std::string::npos) << verdict.reason;
    }

    EXPECT_FALSE(VerifyAuthenticode((dir_ / "missing.exe").wstring()));
    EXPECT_EQ(Check(Unsigned("plain.exe")).reason, "file is not signed");
}

TEST_F(Authenticode, CertificateTableLayoutIsExact)
{
    const auto path = Signed("layout.exe", {Signer::Normal, "sha256", {}, false});
    const auto bytes = ReadFileBytes(path);
    const std::size_t entry = SecurityEntry(bytes);
    const std::vector<std::uint8_t> table(bytes.begin() + Get32(bytes, entry), bytes.end());
    ASSERT_TRUE(ParseCertificateTable(table).signature) << ParseCertificateTable(table).error;

    // The DER content and the padding that follows it.
    ASSERT_EQ(table[9], 0x82); // a long-form length of two octets
    const std::size_t der = 4 + ((table[10] << 8) | table[11]);
    const std::size_t padding = table.size() - 8 - der;
    ASSERT_LT(padding, 8u);

    auto exact = table;
    Put32(exact, 0, static_cast<std::uint32_t>(8 + der));
    EXPECT_TRUE(ParseCertificateTable(exact).signature); // length without padding is accepted too
    Put32(exact, 0, static_cast<std::uint32_t>(8 + der + 8));
    EXPECT_FALSE(ParseCertificateTable(exact).signature);
    if (padding > 0) {
        auto dirty = table;
        dirty.back() = 1;
        EXPECT_FALSE(ParseCertificateTable(dirty).signature);
    }
    auto grown = table;
    grown.resize(table.size() + 8, 0);
    EXPECT_FALSE(ParseCertificateTable(grown).signature);
    EXPECT_FALSE(ParseCertificateTable(std::span(table).first(7)).signature);
}

TEST_F(Authenticode, LegacyCountersignatureFixesTheTime)
{
    const auto expired = Signed("expired.exe", {Signer::Expired, "sha256", {}, false});
    ASSERT_FALSE(VerifyAuthenticode(expired.wstring()));

    const auto stamped = dir_ / "countersigned.exe";
    ASSERT_TRUE(kit_->Countersign(expired, stamped, kMid2021));
    const AuthenticodeVerdict verdict = Check(stamped);
    EXPECT_TRUE(verdict.valid) << verdict.reason;
    EXPECT_NE(verdict.reason.find("(countersignature)"), std::string::npos) << verdict.reason;

    // A time outside the signer's validity, or a countersigner that may not stamp, fixes nothing.
    const auto late = dir_ / "late.exe";
    ASSERT_TRUE(kit_->Countersign(expired, late, kStart2023));
    EXPECT_FALSE(Check(late).valid);
    const auto byServer = dir_ / "by-server.exe";
    ASSERT_TRUE(kit_->Countersign(expired, byServer, kMid2021, Signer::NoCodeSigning));
    const AuthenticodeVerdict rejected = Check(byServer);
    EXPECT_FALSE(rejected.valid);
    EXPECT_NE(rejected.reason.find("countersigner"), std::string::npos) << rejected.reason;
}

TEST_F(Authenticode, HostileTablesEndWithoutLargeAllocations)
{
    // Fifty thousand nested SEQUENCEs with four-octet lengths.
    std::vector<std::uint8_t> der = {0x30, 0x00};
    for (int i = 0; i < 50000; ++i) {
        const auto size = static_cast<std::uint32_t>(der.size());
        const std::uint8_t header[] = {0x30, 0x84, std::uint8_t(size >> 24), std::uint8_t(size >> 16),
                                       std::uint8_t(size >> 8), std::uint8_t(size)};
        der.insert(der.begin(), header, header + sizeof header);
    }
    std::vector<std::uint8_t> table = {0, 0, 0, 0, 0x00, 0x02, 0x02, 0x00};
    Put32(table, 0, static_cast<std::uint32_t>(8 + der.size()));
    table.insert(table.end(), der.begin(), der.end());
    table.resize((table.size() + 7) & ~std::size_t{7}, 0);
    const CertificateTableResult nested = ParseCertificateTable(table);
    EXPECT_FALSE(nested.signature);
    EXPECT_NE(nested.error.find("PKCS#7"), std::string::npos) << nested.error;

    // A table of 2 MiB that the headers describe correctly is refused before it is read.
    const auto path = Unsigned("big-table.exe");
    auto bytes = ReadFileBytes(path);
    const std::size_t entry = SecurityEntry(bytes);
    Put32(bytes, entry, static_cast<std::uint32_t>(bytes.size()));
    Put32(bytes, entry + 4, 2u << 20);
    bytes.resize(bytes.size() + (2u << 20), 0);
    WriteFileBytes(path, bytes);
    EXPECT_EQ(Check(path).reason, "certificate table too large");
}

TEST_F(Authenticode, DigestStreamLearnsTheLayoutOrLeavesTheCheckToTheFile)
{
    PeWriter writer;
    writer.AddSection(".big", std::vector<std::uint8_t>(3u << 20, 0x5a));
    const auto sha256 = Signed("big256.exe", {Signer::Normal, "sha256", {}, false}, writer);
    const auto sha384 = Signed("big384.exe", {Signer::Normal, "sha384", {}, false}, writer);
    const auto bytes = ReadFileBytes(sha256);
    const auto image = ParseBytes(bytes).value();
    const auto layout = ImageDigestLayout::Of(image).value();

    // The first 64 KiB say where the skipped ranges lie; the default stream
    // hashes SHA-256 and leaves only the headers and the table to read.
    ImageDigestStream stream;
    stream.Update(std::span(bytes).first(65536));
    ASSERT_EQ(stream.GetState(), ImageDigestStream::State::Hashing);
    EXPECT_EQ(stream.Layout(), layout);
    Feed(stream, std::span(bytes).subspan(65536), 65536);
    const MemoryByteSource memory(bytes);
    EXPECT_EQ(stream.Digest(layout, EVP_sha256(), bytes.size()),
              ComputeImageDigest(memory, layout, EVP_sha256()));
    const CountingSource counted(bytes);
    const AuthenticodeVerdict verdict = CheckAuthenticode(counted, &stream);
    EXPECT_TRUE(verdict.valid) << verdict.reason;
    EXPECT_TRUE(verdict.streamedDigest);
    EXPECT_LT(counted.BytesRead(), 64u << 10);

    // A stream that is not of this file, or not whole, or of another
    // algorithm, is passed over: the file is read and decides.
    ImageDigestStream shorter;
    Feed(shorter, std::span(bytes).first(bytes.size() - 1), 65536);
    const AuthenticodeVerdict fromFile = CheckAuthenticode(memory, &shorter);
    EXPECT_TRUE(fromFile.valid) << fromFile.reason;
    EXPECT_FALSE(fromFile.streamedDigest);
    const auto other = ReadFileBytes(sha384);
    const MemoryByteSource otherSource(other);
    EXPECT_FALSE(CheckAuthenticode(otherSource, &stream).streamedDigest);
    ImageDigestStream sha256Only;
    Feed(sha256Only, other, 65536);
    const AuthenticodeVerdict sha384Verdict = CheckAuthenticode(otherSource, &sha256Only);
    EXPECT_TRUE(sha384Verdict.valid) << sha384Verdict.reason;
    EXPECT_FALSE(sha384Verdict.streamedDigest);

    // No layout: not a PE file, headers beyond reach, a file that ends
    // inside its headers, an unsigned image.
    const auto stateAfter = [](std::span<const std::uint8_t> fed, std::size_t block) {
        ImageDigestStream fedStream;
        Feed(fedStream, fed, block);
        return fedStream.GetState();
    };
    std::vector<std::uint8_t> zip(4096, 0);
    zip[0] = 'P';
    zip[1] = 'K';
    EXPECT_EQ(stateAfter(zip, 1), ImageDigestStream::State::Unknowable);
    auto far = bytes;
    Put32(far, 0x3c, 2u << 20);
    EXPECT_EQ(stateAfter(std::span(far).first(64), 64), ImageDigestStream::State::Unknowable);
    ImageDigestStream cut;
    Feed(cut, std::span(bytes).first(image.HeadersEnd() - 1), 1);
    EXPECT_EQ(cut.GetState(), ImageDigestStream::State::Learning);
    cut.Update(std::span(bytes).subspan(image.HeadersEnd() - 1, 1));
    EXPECT_EQ(cut.GetState(), ImageDigestStream::State::Hashing);
    std::vector<std::uint8_t> plain = ReadFileBytes(dir_ / "big256.exe.in");
    EXPECT_EQ(stateAfter(plain, 65536), ImageDigestStream::State::Unknowable);
    for (const auto* file : {&zip, &far, &plain}) {
        const MemoryByteSource source(*file);
        ExpectStreamedVerdict(*file, CheckAuthenticode(source));
    }
}
