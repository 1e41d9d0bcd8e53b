#include "platform/trust/DetachedSignature.h"

#include "support/PeWriter.h"
#include "support/SigningKitSuite.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

using namespace qz::platform;
using qz::test::PeWriter;
using qz::test::ReadFileBytes;
using qz::test::SigningKit;
using qz::test::WriteFileBytes;
using Signer = SigningKit::Signer;
using Stamp = SigningKit::Stamp;

namespace {

class DetachedSignature : public qz::test::SigningKitSuite {
  protected:
    // A small tarball-like patch and its signature beside it.
    std::filesystem::path Patch(const std::string& name, const SigningKit::DetachedOptions& options)
    {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << "patch " << name << std::string(70000, 'x');
        std::string output;
        EXPECT_TRUE(kit_->SignDetached(path, path.string() + ".p7s", options, &output)) << output;
        return path;
    }

    static AuthenticodeVerdict Check(const std::filesystem::path& path)
    {
        const auto source = FileByteSource::Open(path);
        EXPECT_TRUE(source) << path;
        return source ? CheckPatchSignature(*source, DetachedSignaturePath(path.wstring()))
                      : AuthenticodeVerdict{};
    }

};

} // namespace

// The signer rules are shared with the image check, which tries them all;
// these are the ones a detached signature meets on its own road.
TEST_F(DetachedSignature, RefusesWhatTheAuthenticodeRulesRefuse)
{
    struct Case {
        const char* name;
        SigningKit::DetachedOptions options;
        const char* reason;
    };
    const Case cases[] = {
        {"expired.tar", {Signer::Expired, "sha256"}, "expired"},
        {"self.tar", {Signer::SelfSigned, "sha256"}, "self-signed"},
        {"sha1.tar", {Signer::Normal, "sha1"}, "digest algorithm is not accepted"},
        {"noattr.tar", SigningKit::DetachedOptions::With("-noattr"), "signer has no signed attributes"},
        {"keyid.tar", SigningKit::DetachedOptions::With("-keyid"), "signer named by key identifier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AuthenticodeVerdict verdict = Check(Patch(c.name, c.options));
        EXPECT_FALSE(verdict.valid);
        EXPECT_NE(verdict.reason.find(c.reason), std::string::npos) << verdict.reason;
    }
}

TEST_F(DetachedSignature, RefusesTamperingMissingAndMalformedSignatures)
{
    const auto path = Patch("patch.tar", {});
    ASSERT_TRUE(Check(path).valid) << Check(path).reason;
    EXPECT_NE(Check(path).reason.find("Qz Test signer (no timestamp)"), std::string::npos) << Check(path).reason;
    const auto signature = path.string() + ".p7s";
    const std::vector<std::uint8_t> good = ReadFileBytes(path);
    const std::vector<std::uint8_t> goodSignature = ReadFileBytes(signature);

    // One byte of the content, late in the file.
    std::vector<std::uint8_t> bytes = good;
    bytes[60000] ^= 1;
    WriteFileBytes(path, bytes);
    EXPECT_NE(Check(path).reason.find("message digest does not match"), std::string::npos) << Check(path).reason;
    bytes.push_back('x');
    bytes[60000] ^= 1;
    WriteFileBytes(path, bytes);
    EXPECT_FALSE(Check(path).valid);
    WriteFileBytes(path, good);

    // The signature value itself.
    std::vector<std::uint8_t> sig = goodSignature;
    sig[sig.size() - 10] ^= 0x40;
    WriteFileBytes(signature, sig);
    EXPECT_FALSE(Check(path).valid) << Check(path).reason;

    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } malformed[] = {
        {"empty", {}, "signature file is empty"},
        {"text", std::vector<std::uint8_t>{'-', '-', '-', '-', '-', 'B', 'E', 'G', 'I', 'N'}, "not DER"},
        {"truncated", std::vector<std::uint8_t>(goodSignature.begin(), goodSignature.end() - 20), "not DER"},
        {"trailing", [&] { auto b = goodSignature; b.push_back(0); return b; }(), "data follows"},
        {"huge", std::vector<std::uint8_t>(kMaxDetachedSignatureSize + 1, 0x30), "too large"},
    };
    for (const auto& m : malformed) {
        SCOPED_TRACE(m.name);
        WriteFileBytes(signature, m.bytes);
        EXPECT_NE(Check(path).reason.find(m.reason), std::string::npos) << Check(path).reason;
    }
    std::filesystem::remove(signature);
    EXPECT_EQ(Check(path).reason, "no signature file");
    // A pipe planted under the name is no file: refused at once, not waited on.
    ASSERT_EQ(::mkfifo(signature.c_str(), 0600), 0);
    EXPECT_EQ(Check(path).reason, "no signature file");
    std::filesystem::remove(signature);

    // A signature that carries its own content vouches for that, not the file.
    ASSERT_EQ(SigningKit::Run("openssl cms -sign -binary -nodetach -in '" + path.string() + "' -signer '" +
                              (kit_->Directory() / "signer.pem").string() + "' -inkey '" +
                              (kit_->Directory() / "signer.key").string() + "' -outform DER -out '" + signature +
                              "'"),
              0);
    EXPECT_EQ(Check(path).reason, "signature carries content of its own");
}

TEST_F(DetachedSignature, APeFileNeedsItsOwnSignature)
{
    const auto pe = dir_ / "patch.exe";
    PeWriter(true).WriteTo(pe);
    std::string output;
    ASSERT_TRUE(kit_->SignDetached(pe, pe.string() + ".p7s", {}, &output)) << output;
    ASSERT_TRUE(CheckDetachedSignature(*FileByteSource::Open(pe), DetachedSignaturePath(pe.wstring())).valid);
    EXPECT_EQ(Check(pe).reason, "file is not signed");
}

TEST_F(DetachedSignature, ASha1TimestampDoesNotVouchForAnExpiredSigner)
{
    // The signer digests with SHA-256; only the timestamp uses SHA-1. With
    // SHA-1 refused, the timestamp cannot fix the time, and the expired
    // certificate is judged now.
    for (const Stamp stamp : {Stamp::Token, Stamp::Countersignature}) {
        SCOPED_TRACE(stamp == Stamp::Token ? "token" : "countersignature");
        SigningKit::DetachedOptions options(Signer::Expired, "sha256", stamp, kMid2021);
        options.stampHash = "sha1";
        const auto path = Patch(stamp == Stamp::Token ? "sha1-token.tar" : "sha1-counter.tar", options);
        const AuthenticodeVerdict verdict = Check(path);
        EXPECT_FALSE(verdict.valid) << verdict.reason;
        // The same with a SHA-256 timestamp passes: only the digest differs.
        options.stampHash = "sha256";
        const AuthenticodeVerdict stamped = Check(Patch("sha256-stamp.tar", options));
        EXPECT_TRUE(stamped.valid) << stamped.reason;
        EXPECT_NE(stamped.reason.find(stamp == Stamp::Token ? "RFC 3161 timestamp" : "countersignature"),
                  std::string::npos) << stamped.reason;
    }
}
