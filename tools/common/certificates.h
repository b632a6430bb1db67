// The certificates of the HTTPS side: a test certificate authority and a
// server certificate for "localhost" and 127.0.0.1 signed by it, kept in one
// folder so that clients can trust ca.pem. Made on first use, reused after.
#pragma once

#include <string>

namespace LoopbackPeer {

struct CertificateFiles {
  std::string caCertificate;      // <folder>/ca.pem
  std::string serverCertificate;  // <folder>/server.pem
  std::string serverKey;          // <folder>/server-key.pem
};

// Makes sure the folder holds the files (creating the folder and any missing
// file; several servers may start at once on the same folder). On failure
// answers false and says why in `error`.
bool EnsureCertificates(const std::string& folder, CertificateFiles& files, std::string& error);

}  // namespace LoopbackPeer
