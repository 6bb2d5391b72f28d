#include "utils/Encoding.h"

#include "platform/TextCodec.h"

namespace Utils {

std::wstring MultiByteToWide(std::string_view bytes, unsigned codePage) {
    return platform::DecodeBytes(bytes.substr(0, bytes.find('\0')), codePage);
}

std::string WideToMultiByte(std::wstring_view text, unsigned codePage) {
    return platform::EncodeWide(text.substr(0, text.find(L'\0')), codePage);
}

}  // namespace Utils
