#include "utils/DeviceId.h"

#include <cstdint>
#include <cwchar>

#include "platform/RandomBytes.h"

namespace Utils {

std::wstring NewDeviceId() {
    uint8_t b[16];
    if (!platform::FillRandom(b, sizeof(b))) return {};
    // Mark it as a random GUID (version 4, RFC 4122 variant), as the system's
    // GUID generator does.
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    const unsigned data1 = (unsigned{b[0]} << 24) | (unsigned{b[1]} << 16) | (unsigned{b[2]} << 8) | b[3];
    const unsigned data2 = (unsigned{b[4]} << 8) | b[5];
    const unsigned data3 = (unsigned{b[6]} << 8) | b[7];
    wchar_t text[33];
    std::swprintf(text, 33, L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X", data1, data2, data3, b[8], b[9], b[10],
                  b[11], b[12], b[13], b[14], b[15]);
    return text;
}

}  // namespace Utils
