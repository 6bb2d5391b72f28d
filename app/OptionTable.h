// The command-line option table: "-key=value" arguments split at the first
// '=', keys compared exactly, the first occurrence of a key kept. Arguments
// without a leading '-' are stored with an empty value and never looked up.
// Lives on the main thread while the command line is read.
#pragma once
#include <map>
#include <string>
#include <vector>

class OptionTable {
public:
    explicit OptionTable(const std::vector<std::wstring>& args);

    bool Has(const std::wstring& key) const { return options_.count(key) != 0; }
    std::wstring GetString(const std::wstring& key) const;
    // wcstol base 10; no number gives 0; beyond 32 bits saturates.
    int GetInt(const std::wstring& key) const;
    // true exactly for "true".
    bool GetBool(const std::wstring& key) const;
    // wcstod; absent or no number gives `fallback`.
    double GetDouble(const std::wstring& key, double fallback) const;

private:
    std::map<std::wstring, std::wstring> options_;
};
