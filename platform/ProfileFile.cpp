#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/TextCodec.h"
#include "platform/Utf8.h"
#include "platform/WriteAll.h"

namespace platform {

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

struct ProfileText {
    Encoding encoding = Encoding::Utf8;
    bool crlf = false;
    bool finalNewline = true;
    std::vector<std::wstring> lines;
};

std::wstring Trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

std::optional<std::string> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProfileText Parse(const std::string& bytes) {
    ProfileText text;
    std::wstring wide;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text.encoding = Encoding::Utf16Le;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
                const char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                                     (static_cast<unsigned char>(bytes[i + 3]) << 8);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            wide.push_back(static_cast<wchar_t>(unit));
        }
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.encoding = Encoding::Utf8Bom;
        wide = Utf8ToWide(std::string_view(bytes).substr(3));
    } else {
        wide = Utf8ToWide(bytes);
    }
    const size_t firstLf = wide.find(L'\n');
    text.crlf = firstLf != std::wstring::npos && firstLf > 0 && wide[firstLf - 1] == L'\r';
    text.finalNewline = wide.empty() || wide.back() == L'\n';
    size_t start = 0;
    while (start < wide.size()) {
        size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos) end = wide.size();
        std::wstring line = wide.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        text.lines.push_back(std::move(line));
        start = end + 1;
    }
    return text;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::wstring> SectionName(const std::wstring& line) {
    const std::wstring t = Trim(line);
    if (t.size() < 2 || t.front() != L'[') return std::nullopt;
    const size_t close = t.find(L']');
    if (close == std::wstring::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

struct Location {
    std::optional<size_t> section;  // index of the header line
    size_t sectionEnd = 0;          // one past the section's last line
    std::optional<size_t> keyLine;
};

Location Find(const ProfileText& text, const std::wstring& section, const std::wstring& key) {
    Location loc;
    for (size_t i = 0; i < text.lines.size(); ++i) {
        auto name = SectionName(text.lines[i]);
        if (!loc.section) {
            if (name && SameName(*name, section)) {
                loc.section = i;
                loc.sectionEnd = text.lines.size();
            }
            continue;
        }
        if (name) {
            loc.sectionEnd = i;
            break;
        }
        const std::wstring t = Trim(text.lines[i]);
        if (t.empty() || t.front() == L';') continue;
        const size_t eq = t.find(L'=');
        if (!loc.keyLine && eq != std::wstring::npos && SameName(Trim(t.substr(0, eq)), key)) loc.keyLine = i;
    }
    return loc;
}

std::optional<std::wstring> Lookup(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    auto bytes = ReadAll(ToNative(path));
    if (!bytes) return std::nullopt;
    const ProfileText text = Parse(*bytes);
    const Location loc = Find(text, section, key);
    if (!loc.keyLine) return std::nullopt;
    const std::wstring& line = text.lines[*loc.keyLine];
    std::wstring value = Trim(line.substr(line.find(L'=') + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

std::string Serialize(const ProfileText& text) {
    std::wstring wide;
    const wchar_t* eol = text.crlf ? L"\r\n" : L"\n";
    for (size_t i = 0; i < text.lines.size(); ++i) {
        wide += text.lines[i];
        if (i + 1 < text.lines.size() || text.finalNewline) wide += eol;
    }
    if (text.encoding != Encoding::Utf16Le) {
        return (text.encoding == Encoding::Utf8Bom ? std::string("\xEF\xBB\xBF") : std::string()) + WideToUtf8(wide);
    }
    std::string out = "\xFF\xFE";
    auto unit = [&out](unsigned u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t w : wide) {
        const auto c = static_cast<char32_t>(w);
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

bool ReplaceAtomically(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (!WriteAll(fd, bytes.data(), bytes.size())) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::wstring ReadProfileString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& fallback) {
    std::wstring value = Lookup(path, section, key).value_or(fallback);
    if (value.size() > kProfileTextLimit) value.resize(kProfileTextLimit);
    return value;
}

int ReadProfileInt(const std::wstring& path, const std::wstring& section, const std::wstring& key, int fallback) {
    const auto value = Lookup(path, section, key);
    if (!value) return fallback;
    size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'-' || (*value)[i] == L'+')) negative = (*value)[i++] == L'-';
    long long number = 0;
    for (; i < value->size() && (*value)[i] >= L'0' && (*value)[i] <= L'9'; ++i) {
        number = number * 10 + ((*value)[i] - L'0');
        if (number > static_cast<long long>(INT_MAX) + 1) number = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return number > INT_MAX ? INT_MIN : -static_cast<int>(number);
    return number > INT_MAX ? INT_MAX : static_cast<int>(number);
}

bool WriteProfileString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) {
    const std::string native = ToNative(path);
    ProfileText text;
    if (auto bytes = ReadAll(native)) text = Parse(*bytes);
    const Location loc = Find(text, section, key);
    const std::wstring line = key + L"=" + value;
    if (loc.keyLine) {
        text.lines[*loc.keyLine] = line;
    } else if (loc.section) {
        size_t at = loc.sectionEnd;
        while (at > *loc.section + 1 && Trim(text.lines[at - 1]).empty()) --at;
        text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    } else {
        if (!text.finalNewline) text.finalNewline = true;
        text.lines.push_back(L"[" + section + L"]");
        text.lines.push_back(line);
    }
    return ReplaceAtomically(native, Serialize(text));
}

}  // namespace platform
