#include "tests/support/http/TestCertificates.h"

#include <vector>

#include "tests/support/http/ChildProgram.h"

namespace testsupport {

TestCertificates::TestCertificates() : openssl_(FindProgram("openssl")) {
    WriteFile(dir_.File("server.ext"),
              "basicConstraints = critical, CA:FALSE\n"
              "keyUsage = critical, digitalSignature, keyEncipherment\n"
              "extendedKeyUsage = serverAuth\n"
              "subjectAltName = IP:127.0.0.1, DNS:localhost\n");
    ready_ = !openssl_.empty() && MakeAuthority("ca", "Brimvale Test Authority") &&
             MakeServer("server", "ca") && MakeAuthority("other-ca", "Untrusted Test Authority") &&
             MakeServer("other-server", "other-ca");
}

std::string TestCertificates::Log() const {
    return (openssl_.empty() ? std::string("openssl not found\n") : std::string()) + ReadFile(dir_.File("openssl.log"));
}

bool TestCertificates::Openssl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{openssl_};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, dir_.File("openssl.log")) == 0;
}

bool TestCertificates::MakeAuthority(const std::string& name, const std::string& commonName) {
    return Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir_.File(name + ".key"), "-out", dir_.File(name + ".pem"), "-days", "2",
                    "-subj", "/CN=" + commonName, "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
}

bool TestCertificates::MakeServer(const std::string& name, const std::string& authority) {
    return Openssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir_.File(name + ".key"), "-out", dir_.File(name + ".csr"), "-subj",
                    "/CN=127.0.0.1"}) &&
           Openssl({"x509", "-req", "-in", dir_.File(name + ".csr"), "-CA", dir_.File(authority + ".pem"),
                    "-CAkey", dir_.File(authority + ".key"), "-CAcreateserial", "-CAserial",
                    dir_.File(authority + ".srl"), "-days", "2", "-extfile", dir_.File("server.ext"), "-out",
                    dir_.File(name + ".pem")});
}

}  // namespace testsupport
