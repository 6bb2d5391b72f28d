#include "download/SystemUrlEscape.h"

#include "utils/Encoding.h"

std::wstring EscapeUrlForSystemDownload(const std::wstring& url) {
    if (url.rfind(L"file:///", 0) == 0) return url;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : Utils::WideToMultiByte(url, Utils::CP_UTF8)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x21 && byte <= 0x7E) {
            escaped += c;
        } else if (byte == 0x20) {
            escaped += '+';
        } else {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return Utils::MultiByteToWide(escaped, Utils::CP_UTF8);
}
