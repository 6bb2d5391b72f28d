#include "platform/TextCodec.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>

#include "platform/Utf8.h"

namespace platform {

namespace {

bool IsUtf8Name(const std::string& name) {
    return name == "UTF-8" || name == "utf8" || name == "UTF8";
}

std::string CharsetFor(unsigned codePage) {
    if (codePage == 0) return NarrowCharsetName();
    if (codePage == 65001) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::string NarrowCharsetName() {
    const char* set = nl_langinfo(CODESET);
    std::string name = set ? set : "";
    // The C/POSIX locale reports ASCII; treat it as UTF-8 so that non-ASCII
    // paths and the Chinese texts survive in a bare environment.
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII") return "UTF-8";
    return name;
}

std::wstring DecodeBytes(std::string_view bytes, unsigned codePage) {
    const std::string set = CharsetFor(codePage);
    if (IsUtf8Name(set)) return Utf8ToWide(bytes);
    Iconv cd("WCHAR_T", set.c_str());
    if (!cd.ok()) return {};
    std::wstring out;
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    wchar_t buffer[512];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof(buffer);
        const size_t r = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, (sizeof(buffer) - outLeft) / sizeof(wchar_t));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence): replace one byte and go on.
            out.push_back(L'\uFFFD');
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string EncodeWide(std::wstring_view text, unsigned codePage) {
    const std::string set = CharsetFor(codePage);
    if (IsUtf8Name(set)) return WideToUtf8(text);
    Iconv cd(set.c_str(), "WCHAR_T");
    if (!cd.ok()) return {};
    std::string out;
    std::wstring input(text);
    char* in = reinterpret_cast<char*>(input.data());
    size_t inLeft = input.size() * sizeof(wchar_t);
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t r = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof(buffer) - outLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            out.push_back('?');
            in += sizeof(wchar_t);
            inLeft -= inLeft < sizeof(wchar_t) ? inLeft : sizeof(wchar_t);
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string ToNative(std::wstring_view text) { return EncodeWide(text, 0); }
std::wstring FromNative(std::string_view bytes) { return DecodeBytes(bytes, 0); }

}  // namespace platform
