#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Utf8.h"

namespace testsupport {

TempDir::TempDir() {
    char name[] = "/tmp/brim-test-XXXXXX";
    path_ = ::mkdtemp(name);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempDir::WFile(const std::string& name) const { return W(File(name)); }

std::wstring W(const std::string& text) { return platform::Utf8ToWide(text); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
