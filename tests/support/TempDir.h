// A fresh folder under /tmp for one test, removed with everything in it
// when the object goes. Paths are plain UTF-8 strings.
#pragma once
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::wstring WFile(const std::string& name) const;

private:
    std::string path_;
};

// The UTF-8 `text` as a wide string (paths and URLs for the wide interfaces).
std::wstring W(const std::string& text);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace testsupport
