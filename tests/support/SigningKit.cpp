#include "SigningKit.h"

#include "PeWriter.h"

#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sys/wait.h>

namespace qz::test {

namespace {

std::string Quote(const std::filesystem::path& path)
{
    std::string out = "'";
    for (char c : path.string()) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

const char* const kConfig = R"([ ca ]
default_ca = kit
[ kit ]
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = policy_any
unique_subject = no
copy_extensions = none
[ policy_any ]
commonName = supplied
[ root_ext ]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ ca_ext ]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[ code_ext ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[ server_ext ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
authorityKeyIdentifier = keyid
[ tsa_ext ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
authorityKeyIdentifier = keyid
[ req ]
distinguished_name = req_dn
prompt = no
[ req_dn ]
CN = unused
)";

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (std::uint32_t{b.at(at + 3)} << 24);
}

const char* const kLongAgo = "20200101000000Z";
const char* const kFarAhead = "20450101000000Z";

} // namespace

int SigningKit::Run(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return -1;
    }
    std::string text;
    std::array<char, 4096> buffer;
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        text.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    if (output) {
        *output = std::move(text);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool SigningKit::Step(const std::string& command)
{
    if (!error_.empty()) {
        return false;
    }
    std::string output;
    if (Run("cd " + Quote(dir_) + " && " + command, &output) != 0) {
        error_ = command + "\n" + output;
        return false;
    }
    return true;
}

bool SigningKit::Issue(const std::string& name, const std::string& issuer, const std::string& extensions,
                       const std::string& keyAlgorithm, const std::string& start, const std::string& end)
{
    const std::string key = keyAlgorithm == "rsa" ? "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
                                                  : "-algorithm EC -pkeyopt ec_paramgen_curve:P-256";
    const std::string issuerArgs = issuer.empty() ? "-selfsign -keyfile " + name + ".key"
                                                  : "-cert " + issuer + ".pem -keyfile " + issuer + ".key";
    return Step("openssl genpkey " + key + " -out " + name + ".key") &&
           Step("openssl req -new -config kit.cnf -key " + name + ".key -subj '/CN=Qz Test " + name +
                "' -out " + name + ".csr") &&
           Step("openssl ca -batch -notext -config kit.cnf " + issuerArgs + " -in " + name + ".csr -out " +
                name + ".pem -extensions " + extensions + " -startdate " + start + " -enddate " + end);
}

SigningKit::SigningKit()
{
    char pattern[] = "/tmp/qz-signing-XXXXXX";
    if (!::mkdtemp(pattern)) {
        error_ = "cannot create a temporary directory";
        return;
    }
    dir_ = pattern;
    std::filesystem::create_directory(dir_ / "issued");
    std::ofstream(dir_ / "kit.cnf") << kConfig;
    std::ofstream(dir_ / "index.txt");
    std::ofstream(dir_ / "serial") << "1000\n";

    Issue("root", "", "root_ext", "ec", kLongAgo, kFarAhead);
    Issue("ca", "root", "ca_ext", "ec", kLongAgo, kFarAhead);
    Issue("signer", "ca", "code_ext", "rsa", kLongAgo, kFarAhead);
    Issue("expired", "ca", "code_ext", "ec", "20210101000000Z", "20220101000000Z");
    Issue("server", "ca", "server_ext", "ec", kLongAgo, kFarAhead);
    Issue("tsa", "root", "tsa_ext", "ec", kLongAgo, kFarAhead);
    Step("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out self.key");
    Step("openssl req -x509 -new -config kit.cnf -key self.key -subj '/CN=Qz Test self' -days 3650 "
         "-addext extendedKeyUsage=codeSigning -out self.pem");
    Step("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out rogue-tsa.key");
    Step("openssl req -x509 -new -config kit.cnf -key rogue-tsa.key -subj '/CN=Qz Test rogue tsa' -days 3650 "
         "-addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,timeStamping "
         "-out rogue-tsa.pem");
    for (const char* name : {"signer", "expired", "server"}) {
        Step(std::string("cat ") + name + ".pem ca.pem > " + name + "-chain.pem");
    }
}

SigningKit::~SigningKit()
{
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool SigningKit::Sign(const std::filesystem::path& in, const std::filesystem::path& out,
                      const SignOptions& options, std::string* output) const
{
    const std::string name = Name(options.signer);
    const bool chained = options.signer == Signer::Normal || options.signer == Signer::Expired ||
                         options.signer == Signer::NoCodeSigning;
    const std::string certs = chained ? name + "-chain.pem" : name + ".pem";
    const std::string key = name + ".key";
    std::string command = "osslsigncode sign -certs " + Quote(dir_ / certs) + " -key " + Quote(dir_ / key) +
                          " -h " + options.hash + " -n 'Qz test'";
    if (options.timestampTime) {
        const std::string tsa = Name(options.timestampAuthority);
        command += " -TSA-certs " + Quote(dir_ / (tsa + ".pem")) + " -TSA-key " +
                   Quote(dir_ / (tsa + ".key")) + " -TSA-time " + std::to_string(*options.timestampTime);
    }
    if (options.nest) {
        command += " -nest";
    }
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    command += " -in " + Quote(in) + " -out " + Quote(out);
    std::string text;
    const bool ok = Run(command, &text) == 0;
    if (output) {
        *output = text;
    }
    return ok;
}

const char* SigningKit::Name(Signer signer)
{
    switch (signer) {
    case Signer::Normal:
        return "signer";
    case Signer::Expired:
        return "expired";
    case Signer::SelfSigned:
        return "self";
    case Signer::NoCodeSigning:
        return "server";
    case Signer::TimeStampAuthority:
        return "tsa";
    case Signer::UntrustedTimeStampAuthority:
        return "rogue-tsa";
    }
    return "";
}

bool SigningKit::Countersign(const std::filesystem::path& in, const std::filesystem::path& out,
                             std::int64_t time, Signer countersigner) const
{
    std::vector<std::uint8_t> file = ReadFileBytes(in);
    if (file.size() < 0x40) {
        return false;
    }
    const std::size_t nt = Get32(file, 0x3c);
    const bool is64 = file.at(nt + 24) == 0x0b && file.at(nt + 25) == 0x02;
    const std::size_t entry = nt + 24 + (is64 ? 112 : 96) + 4 * 8;
    const std::uint32_t tableOffset = Get32(file, entry);
    if (tableOffset + 8 > file.size()) {
        return false;
    }
    const unsigned char* p = file.data() + tableOffset + 8;
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> pkcs7(
        d2i_PKCS7(nullptr, &p, static_cast<long>(file.size() - tableOffset - 8)), PKCS7_free);
    if (!pkcs7) {
        return false;
    }
    if (!AddCountersignature(pkcs7.get(), time, countersigner)) {
        return false;
    }

    // A fresh certificate table: header, DER, zero padding to 8.
    unsigned char* der = nullptr;
    const int derSize = i2d_PKCS7(pkcs7.get(), &der);
    if (derSize <= 0) {
        return false;
    }
    file.resize(tableOffset);
    const std::uint32_t length = (static_cast<std::uint32_t>(derSize) + 8 + 7) & ~7u;
    for (std::uint32_t v : {length, 0x00020200u}) {
        for (int i = 0; i < 4; ++i) {
            file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    file.insert(file.end(), der, der + derSize);
    OPENSSL_free(der);
    file.resize(tableOffset + length, 0);
    for (int i = 0; i < 4; ++i) {
        file[entry + 4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    WriteFileBytes(out, file);
    return true;
}

namespace {

template <typename T, auto Free> using Owned = std::unique_ptr<T, decltype(Free)>;

// The certificate and key the kit keeps under `name`.
bool LoadIdentity(const std::filesystem::path& dir, const std::string& name, Owned<X509, &X509_free>& cert,
                  Owned<EVP_PKEY, &EVP_PKEY_free>& key)
{
    Owned<BIO, &BIO_free> certBio(BIO_new_file((dir / (name + ".pem")).c_str(), "r"), BIO_free);
    Owned<BIO, &BIO_free> keyBio(BIO_new_file((dir / (name + ".key")).c_str(), "r"), BIO_free);
    if (!certBio || !keyBio)
        return false;
    cert.reset(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
    key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    return cert && key;
}

// What a timestamp is made with: the first signer of the signature it stamps,
// the stamper's certificate and key, and its digest.
struct Stamper {
    PKCS7_SIGNER_INFO* signer = nullptr;
    const EVP_MD* md = nullptr;
    Owned<X509, &X509_free> cert{nullptr, X509_free};
    Owned<EVP_PKEY, &EVP_PKEY_free> key{nullptr, EVP_PKEY_free};

    bool Load(PKCS7* pkcs7, const std::filesystem::path& dir, const std::string& name, const std::string& hash)
    {
        md = EVP_get_digestbyname(hash.c_str());
        signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(pkcs7), 0);
        return md && signer && LoadIdentity(dir, name, cert, key);
    }
};

int FixedTime(TS_RESP_CTX*, void* data, long* seconds, long* microseconds)
{
    *seconds = static_cast<long>(*static_cast<const std::int64_t*>(data));
    *microseconds = 0;
    return 1;
}

} // namespace

bool SigningKit::AddCountersignature(PKCS7* pkcs7, std::int64_t time, Signer countersigner,
                                     const std::string& hash) const
{
    Stamper stamper;
    if (!stamper.Load(pkcs7, dir_, Name(countersigner), hash)) {
        return false;
    }
    PKCS7_SIGNER_INFO* signer = stamper.signer;
    const EVP_MD* md = stamper.md;
    Owned<X509, &X509_free>& cert = stamper.cert;
    Owned<EVP_PKEY, &EVP_PKEY_free>& key = stamper.key;
    std::unique_ptr<PKCS7_SIGNER_INFO, decltype(&PKCS7_SIGNER_INFO_free)> counter(PKCS7_SIGNER_INFO_new(),
                                                                                  PKCS7_SIGNER_INFO_free);
    if (!cert || !key || !counter ||
        PKCS7_SIGNER_INFO_set(counter.get(), cert.get(), key.get(), md) != 1) {
        return false;
    }
    // contentType, signingTime and the digest of the signer's signature value, then the signature.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    EVP_Digest(signer->enc_digest->data, static_cast<std::size_t>(signer->enc_digest->length), digest,
               &digestSize, md, nullptr);
    ASN1_OCTET_STRING* digestValue = ASN1_OCTET_STRING_new();
    ASN1_OCTET_STRING_set(digestValue, digest, static_cast<int>(digestSize));
    if (PKCS7_add_signed_attribute(counter.get(), NID_pkcs9_contentType, V_ASN1_OBJECT,
                                   OBJ_nid2obj(NID_pkcs7_data)) != 1 ||
        PKCS7_add_signed_attribute(counter.get(), NID_pkcs9_signingTime, V_ASN1_UTCTIME,
                                   ASN1_UTCTIME_set(nullptr, static_cast<time_t>(time))) != 1 ||
        PKCS7_add_signed_attribute(counter.get(), NID_pkcs9_messageDigest, V_ASN1_OCTET_STRING,
                                   digestValue) != 1 ||
        PKCS7_SIGNER_INFO_sign(counter.get()) != 1) {
        return false;
    }
    unsigned char* encoded = nullptr;
    const int encodedSize = i2d_PKCS7_SIGNER_INFO(counter.get(), &encoded);
    ASN1_STRING* sequence = ASN1_STRING_new();
    ASN1_STRING_set(sequence, encoded, encodedSize);
    OPENSSL_free(encoded);
    if (PKCS7_add_attribute(signer, NID_pkcs9_countersignature, V_ASN1_SEQUENCE, sequence) != 1 ||
        PKCS7_add_certificate(pkcs7, cert.get()) != 1) {
        return false;
    }
    return true;
}

bool SigningKit::AddTimestampToken(PKCS7* pkcs7, std::int64_t time, Signer authority, const std::string& hash) const
{
    Stamper stamper;
    if (!stamper.Load(pkcs7, dir_, Name(authority), hash))
        return false;
    PKCS7_SIGNER_INFO* signer = stamper.signer;
    const EVP_MD* md = stamper.md;
    Owned<X509, &X509_free>& cert = stamper.cert;
    Owned<EVP_PKEY, &EVP_PKEY_free>& key = stamper.key;
    // The request: the SHA-256 of the signer's signature value.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    EVP_Digest(signer->enc_digest->data, static_cast<std::size_t>(signer->enc_digest->length), digest, &digestSize,
               md, nullptr);
    Owned<TS_REQ, &TS_REQ_free> request(TS_REQ_new(), TS_REQ_free);
    Owned<TS_MSG_IMPRINT, &TS_MSG_IMPRINT_free> imprint(TS_MSG_IMPRINT_new(), TS_MSG_IMPRINT_free);
    Owned<X509_ALGOR, &X509_ALGOR_free> algorithm(X509_ALGOR_new(), X509_ALGOR_free);
    if (!request || !imprint || !algorithm ||
        X509_ALGOR_set0(algorithm.get(), OBJ_nid2obj(EVP_MD_get_type(md)), V_ASN1_NULL, nullptr) != 1 ||
        TS_MSG_IMPRINT_set_algo(imprint.get(), algorithm.get()) != 1 ||
        TS_MSG_IMPRINT_set_msg(imprint.get(), digest, static_cast<int>(digestSize)) != 1 ||
        TS_REQ_set_version(request.get(), 1) != 1 || TS_REQ_set_msg_imprint(request.get(), imprint.get()) != 1 ||
        TS_REQ_set_cert_req(request.get(), 1) != 1)
        return false;
    Owned<BIO, &BIO_free> requestBio(BIO_new(BIO_s_mem()), BIO_free);
    if (!requestBio || i2d_TS_REQ_bio(requestBio.get(), request.get()) != 1)
        return false;

    Owned<TS_RESP_CTX, &TS_RESP_CTX_free> ctx(TS_RESP_CTX_new(), TS_RESP_CTX_free);
    Owned<ASN1_OBJECT, &ASN1_OBJECT_free> policy(OBJ_txt2obj("1.3.6.1.4.1.4146.2.2", 1), ASN1_OBJECT_free);
    if (!ctx || !policy || TS_RESP_CTX_set_signer_cert(ctx.get(), cert.get()) != 1 ||
        TS_RESP_CTX_set_signer_key(ctx.get(), key.get()) != 1 ||
        TS_RESP_CTX_set_def_policy(ctx.get(), policy.get()) != 1 || TS_RESP_CTX_add_md(ctx.get(), md) != 1 ||
        TS_RESP_CTX_set_signer_digest(ctx.get(), md) != 1)
        return false;
    TS_RESP_CTX_set_time_cb(ctx.get(), FixedTime, &time);
    Owned<TS_RESP, &TS_RESP_free> response(TS_RESP_create_response(ctx.get(), requestBio.get()), TS_RESP_free);
    PKCS7* token = response ? TS_RESP_get_token(response.get()) : nullptr;
    if (!token)
        return false;
    unsigned char* encoded = nullptr;
    const int encodedSize = i2d_PKCS7(token, &encoded);
    if (encodedSize <= 0)
        return false;
    ASN1_STRING* sequence = ASN1_STRING_new();
    ASN1_STRING_set(sequence, encoded, encodedSize);
    OPENSSL_free(encoded);
    return PKCS7_add_attribute(signer, NID_id_smime_aa_timeStampToken, V_ASN1_SEQUENCE, sequence) == 1;
}

bool SigningKit::SignDetached(const std::filesystem::path& in, const std::filesystem::path& signature,
                              const DetachedOptions& options, std::string* output) const
{
    const std::string name = Name(options.signer);
    const bool chained = options.signer == Signer::Normal || options.signer == Signer::Expired ||
                         options.signer == Signer::NoCodeSigning;
    std::string command = "openssl cms -sign -binary -in " + Quote(in) + " -signer " + Quote(dir_ / (name + ".pem")) +
                          " -inkey " + Quote(dir_ / (name + ".key")) + " -md " + options.hash +
                          " -outform DER -out " + Quote(signature) + " " + options.extra;
    if (chained)
        command += " -certfile " + Quote(dir_ / "ca.pem");
    std::error_code ignored;
    std::filesystem::remove(signature, ignored);
    std::string text;
    const bool ok = Run(command, &text) == 0;
    if (output)
        *output = text;
    if (!ok || options.stamp == Stamp::None)
        return ok;

    std::vector<std::uint8_t> der = ReadFileBytes(signature);
    const unsigned char* p = der.data();
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> pkcs7(d2i_PKCS7(nullptr, &p, static_cast<long>(der.size())),
                                                        PKCS7_free);
    if (!pkcs7)
        return false;
    const bool stamped = options.stamp == Stamp::Token
                             ? AddTimestampToken(pkcs7.get(), options.stampTime, options.timestampAuthority,
                                                 options.stampHash)
                             : AddCountersignature(pkcs7.get(), options.stampTime, options.timestampAuthority,
                                                   options.stampHash);
    unsigned char* encoded = nullptr;
    const int size = stamped ? i2d_PKCS7(pkcs7.get(), &encoded) : 0;
    if (size <= 0)
        return false;
    WriteFileBytes(signature, std::vector<std::uint8_t>(encoded, encoded + size));
    OPENSSL_free(encoded);
    return true;
}

std::string SigningKit::DetachedSignatureOf(const std::string& bytes) const
{
    const auto file = dir_ / "detached-content";
    WriteFileBytes(file, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    if (!SignDetached(file, dir_ / "detached-content.p7s", {}))
        return {};
    const std::vector<std::uint8_t> der = ReadFileBytes(dir_ / "detached-content.p7s");
    return std::string(der.begin(), der.end());
}

bool SigningKit::PeerVerifies(const std::filesystem::path& file, std::string* output) const
{
    return Run("osslsigncode verify -CAfile " + Quote(RootCertificate()) + " -TSA-CAfile " +
                   Quote(RootCertificate()) + " -in " + Quote(file),
               output) == 0;
}

} // namespace qz::test
