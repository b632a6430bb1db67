#include "certificates.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace LoopbackPeer {

namespace {

struct KeyFree { void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); } };
struct CertificateFree { void operator()(X509* certificate) const { X509_free(certificate); } };
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

// RSA rather than elliptic curves: every TLS stack the tests meet, Wine's
// Schannel included, accepts it.
Key NewKey() { return Key(EVP_RSA_gen(2048)); }

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

Certificate NewCertificate(EVP_PKEY* key, const char* commonName, long serial, X509* issuer,
                           EVP_PKEY* issuerKey, bool authority) {
  Certificate certificate(X509_new());
  if (!certificate) return nullptr;
  X509* c = certificate.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
  // A day in the past covers clocks that differ a little; twenty years ahead
  // outlives any build folder.
  X509_gmtime_adj(X509_getm_notBefore(c), -24L * 3600);
  X509_gmtime_adj(X509_getm_notAfter(c), 20L * 365 * 24 * 3600);
  X509_set_pubkey(c, key);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Talvorin tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : c;
  X509_set_issuer_name(c, X509_get_subject_name(signer));
  bool ok = AddExtension(c, signer, NID_subject_key_identifier, "hash");
  if (authority) {
    ok = ok && AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE") &&
         AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    ok = ok && AddExtension(c, signer, NID_authority_key_identifier, "keyid:always") &&
         AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(c, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
         AddExtension(c, signer, NID_ext_key_usage, "serverAuth") &&
         AddExtension(c, signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  }
  if (!ok || X509_sign(c, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) == 0) return nullptr;
  return certificate;
}

bool WriteCertificate(const fs::path& path, X509* certificate) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = PEM_write_X509(file, certificate) == 1;
  return std::fclose(file) == 0 && ok;
}

bool WriteKey(const fs::path& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return std::fclose(file) == 0 && ok;
}

// Holds an exclusive lock on a file for its life: two servers starting
// together on one folder must not write two authorities over each other.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

bool EnsureCertificates(const std::string& folder, CertificateFiles& files, std::string& error) {
  const fs::path dir(folder);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return false;
  }
  const fs::path caCertificate = dir / "ca.pem";
  const fs::path caKey = dir / "ca-key.pem";
  const fs::path serverCertificate = dir / "server.pem";
  const fs::path serverKey = dir / "server-key.pem";
  files = {caCertificate.string(), serverCertificate.string(), serverKey.string()};

  FolderLock lock(dir / ".lock");
  if (!lock.held()) {
    error = "cannot lock " + (dir / ".lock").string();
    return false;
  }
  if (fs::exists(caCertificate) && fs::exists(caKey) && fs::exists(serverCertificate) &&
      fs::exists(serverKey)) {
    return true;
  }

  // A partial set is never mixed with new files: the server certificate must
  // be signed by exactly the authority in ca.pem.
  Key authorityKey = NewKey();
  Key key = NewKey();
  if (!authorityKey || !key) {
    error = "cannot generate RSA keys";
    return false;
  }
  Certificate authority =
      NewCertificate(authorityKey.get(), "Talvorin test CA", 1, nullptr, nullptr, true);
  if (!authority) {
    error = "cannot make the CA certificate";
    return false;
  }
  Certificate server = NewCertificate(key.get(), "localhost", 2, authority.get(),
                                      authorityKey.get(), false);
  if (!server) {
    error = "cannot make the server certificate";
    return false;
  }
  if (!WriteKey(caKey, authorityKey.get()) || !WriteKey(serverKey, key.get()) ||
      !WriteCertificate(serverCertificate, server.get()) ||
      !WriteCertificate(caCertificate, authority.get())) {
    error = "cannot write the certificates into " + folder;
    return false;
  }
  return true;
}

}  // namespace LoopbackPeer
