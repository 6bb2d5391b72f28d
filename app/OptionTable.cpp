#include "app/OptionTable.h"

#include <algorithm>
#include <climits>
#include <cwchar>

OptionTable::OptionTable(const std::vector<std::wstring>& args) {
    for (const std::wstring& arg : args) {
        const size_t eq = arg.find(L'=');
        if (!arg.empty() && arg[0] == L'-' && eq != std::wstring::npos)
            options_.emplace(arg.substr(0, eq), arg.substr(eq + 1));
        else
            options_.emplace(arg, std::wstring());
    }
}

std::wstring OptionTable::GetString(const std::wstring& key) const {
    const auto it = options_.find(key);
    return it == options_.end() ? std::wstring() : it->second;
}

int OptionTable::GetInt(const std::wstring& key) const {
    const std::wstring value = GetString(key);
    const long number = std::wcstol(value.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
}

bool OptionTable::GetBool(const std::wstring& key) const { return GetString(key) == L"true"; }

double OptionTable::GetDouble(const std::wstring& key, double fallback) const {
    const auto it = options_.find(key);
    if (it == options_.end()) return fallback;
    wchar_t* end = nullptr;
    const double value = std::wcstod(it->second.c_str(), &end);
    return end == it->second.c_str() ? fallback : value;
}
