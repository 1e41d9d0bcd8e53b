#include "SigningKit.h"

#include "PeWriter.h"

#include <openssl/pem.h>
#include <openssl/pkcs7.h>
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
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(pkcs7.get()), 0);

    const std::string name = Name(countersigner);
    std::unique_ptr<BIO, decltype(&BIO_free)> certBio(BIO_new_file((dir_ / (name + ".pem")).c_str(), "r"),
                                                      BIO_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(BIO_new_file((dir_ / (name + ".key")).c_str(), "r"),
                                                     BIO_free);
    if (!signer || !certBio || !keyBio) {
        return false;
    }
    std::unique_ptr<X509, decltype(&X509_free)> cert(
        PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr), X509_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    std::unique_ptr<PKCS7_SIGNER_INFO, decltype(&PKCS7_SIGNER_INFO_free)> counter(PKCS7_SIGNER_INFO_new(),
                                                                                  PKCS7_SIGNER_INFO_free);
    if (!cert || !key || !counter ||
        PKCS7_SIGNER_INFO_set(counter.get(), cert.get(), key.get(), EVP_sha256()) != 1) {
        return false;
    }
    // contentType, signingTime and the digest of the signer's signature value, then the signature.
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    EVP_Digest(signer->enc_digest->data, static_cast<std::size_t>(signer->enc_digest->length), digest,
               &digestSize, EVP_sha256(), nullptr);
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
        PKCS7_add_certificate(pkcs7.get(), cert.get()) != 1) {
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

bool SigningKit::PeerVerifies(const std::filesystem::path& file, std::string* output) const
{
    return Run("osslsigncode verify -CAfile " + Quote(RootCertificate()) + " -TSA-CAfile " +
                   Quote(RootCertificate()) + " -in " + Quote(file),
               output) == 0;
}

} // namespace qz::test
