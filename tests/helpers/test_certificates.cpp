// Makes the test certificate authority and a server certificate for
// "localhost" and 127.0.0.1 in a folder, as the loopback peers do, for tests
// that serve HTTPS with a server of someone else's making (nginx).
//
//   talvorin-test-certificates <folder>
//
// Prints the CA, certificate and key paths, one a line; exit 1 with the
// reason on standard error when they cannot be made.
#include <cstdio>
#include <string>

#include "certificates.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: talvorin-test-certificates <folder>\n");
    return 2;
  }
  LoopbackPeer::CertificateFiles files;
  std::string error;
  if (!LoopbackPeer::EnsureCertificates(argv[1], files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n%s\n%s\n", files.caCertificate.c_str(), files.serverCertificate.c_str(),
              files.serverKey.c_str());
  return 0;
}
