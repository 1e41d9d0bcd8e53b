// Test certificates and Authenticode signing, made at test time with the
// openssl command line and osslsigncode in a private temporary directory:
// a root CA, an intermediate code-signing CA, signers (normal, expired,
// self-signed, without code-signing usage) and a time-stamping authority.
// Nothing time-limited is kept in the repository.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

struct pkcs7_st;
using PKCS7 = pkcs7_st;

namespace qz::test {

class SigningKit {
  public:
    enum class Signer {
        Normal,             ///< RSA key, issued by the intermediate CA, code signing.
        Expired,            ///< Valid only during 2021, code signing.
        SelfSigned,         ///< Its own root, code signing; trusted only if its certificate is in the store.
        NoCodeSigning,      ///< Issued by the intermediate CA for server authentication only.
        TimeStampAuthority, ///< Issued by the root for time stamping only.
        UntrustedTimeStampAuthority, ///< Self-signed, for time stamping only.
    };

    struct SignOptions {
        Signer signer = Signer::Normal;
        std::string hash = "sha256"; ///< osslsigncode's -h value.
        /// Adds an RFC 3161 timestamp from the kit's TSA naming this time.
        std::optional<std::int64_t> timestampTime;
        /// Adds the signature as a nested second signature of a signed input.
        bool nest = false;
        /// Who makes the timestamp.
        Signer timestampAuthority = Signer::TimeStampAuthority;
    };

    /// Makes the directory and every certificate; Ok() tells whether it worked.
    SigningKit();
    ~SigningKit();
    SigningKit(const SigningKit&) = delete;
    SigningKit& operator=(const SigningKit&) = delete;

    bool Ok() const { return error_.empty(); }
    /// The failed command and its output when the kit could not be made.
    const std::string& Error() const { return error_; }
    const std::filesystem::path& Directory() const { return dir_; }
    /// PEM of the root CA: the trust store tests point SSL_CERT_FILE at.
    std::filesystem::path RootCertificate() const { return dir_ / "root.pem"; }
    /// PEM of the self-signed signer.
    std::filesystem::path SelfSignedCertificate() const { return dir_ / "self.pem"; }

    /// Signs `in` into `out`; false (and `output` holds the tool's words) on failure.
    bool Sign(const std::filesystem::path& in, const std::filesystem::path& out, const SignOptions& options,
              std::string* output = nullptr) const;

    /// Adds a legacy PKCS#9 countersignature by `countersigner`, naming
    /// `time`, to the primary signature of `in` (signed, without timestamp),
    /// and writes the result to `out`. Made with OpenSSL directly, as no
    /// tool here writes that old form.
    bool Countersign(const std::filesystem::path& in, const std::filesystem::path& out, std::int64_t time,
                     Signer countersigner = Signer::TimeStampAuthority) const;

    /// How a detached signature is timestamped.
    enum class Stamp { None, Token, Countersignature };

    struct DetachedOptions {
        DetachedOptions(Signer signer = Signer::Normal, std::string hash = "sha256", Stamp stamp = Stamp::None,
                        std::int64_t stampTime = 0, Signer timestampAuthority = Signer::TimeStampAuthority)
            : signer(signer), hash(std::move(hash)), stamp(stamp), stampTime(stampTime),
              timestampAuthority(timestampAuthority)
        {
        }
        /// The normal signer, with more openssl cms options ("-noattr", "-keyid").
        static DetachedOptions With(std::string options)
        {
            DetachedOptions o;
            o.extra = std::move(options);
            return o;
        }

        Signer signer;
        std::string hash; ///< openssl cms -md value.
        Stamp stamp;
        std::int64_t stampTime;
        Signer timestampAuthority;
        /// The digest of the timestamp: the token's imprint and the TSA's
        /// signature, or the countersignature's digest.
        std::string stampHash = "sha256";
        std::string extra;
    };

    /// Writes a detached DER signature of `in` to `signature` with `openssl
    /// cms -sign -binary`, then adds the timestamp the options ask for as an
    /// unsigned attribute of the signer (made with OpenSSL directly).
    bool SignDetached(const std::filesystem::path& in, const std::filesystem::path& signature,
                      const DetachedOptions& options, std::string* output = nullptr) const;

    /// A detached signature of `bytes` by the normal signer, as the bytes of
    /// its DER file; empty when signing failed.
    std::string DetachedSignatureOf(const std::string& bytes) const;

    /// Whether `osslsigncode verify` accepts `file` with the kit's root as its
    /// only trusted CA (for the signer and the TSA).
    bool PeerVerifies(const std::filesystem::path& file, std::string* output = nullptr) const;

    /// Runs a shell command; its exit status, with stdout and stderr in `output`.
    static int Run(const std::string& command, std::string* output = nullptr);

  private:
    static const char* Name(Signer signer);
    bool AddCountersignature(PKCS7* pkcs7, std::int64_t time, Signer countersigner,
                             const std::string& hash = "sha256") const;
    bool AddTimestampToken(PKCS7* pkcs7, std::int64_t time, Signer authority,
                           const std::string& hash = "sha256") const;
    bool Step(const std::string& command);
    bool Issue(const std::string& name, const std::string& issuer, const std::string& extensions,
               const std::string& keyAlgorithm, const std::string& start, const std::string& end);

    std::filesystem::path dir_;
    std::string error_;
};

} // namespace qz::test
