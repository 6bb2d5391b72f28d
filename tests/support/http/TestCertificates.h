// Certificates for local TLS servers, made at test time with the openssl
// command line in a temporary folder (removed with the object):
//  - a test authority and a server certificate it signed for 127.0.0.1 and
//    localhost (subjectAltName IP and DNS, serverAuth);
//  - a second authority, trusted by nobody, which signed a server
//    certificate for the same names.
// A client that trusts only caFile() accepts serverCert(); one that trusts
// only otherCaFile() must refuse it (and the reverse for otherServerCert()).
// Keys are P-256, valid for two days. Build on the test's thread; the paths
// may then be read from any thread.
#pragma once
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace testsupport {

class TestCertificates {
public:
    TestCertificates();

    // False when openssl failed; Log() then says why.
    bool Ready() const { return ready_; }
    std::string Log() const;

    std::string caFile() const { return dir_.File("ca.pem"); }
    std::string serverCert() const { return dir_.File("server.pem"); }
    std::string serverKey() const { return dir_.File("server.key"); }
    std::string otherCaFile() const { return dir_.File("other-ca.pem"); }
    std::string otherServerCert() const { return dir_.File("other-server.pem"); }
    std::string otherServerKey() const { return dir_.File("other-server.key"); }

private:
    bool MakeAuthority(const std::string& name, const std::string& commonName);
    bool MakeServer(const std::string& name, const std::string& authority);
    bool Openssl(const std::vector<std::string>& args);

    TempDir dir_;
    std::string openssl_;
    bool ready_ = false;
};

}  // namespace testsupport
