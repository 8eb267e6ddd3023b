#pragma once
// Small helpers for the headless commands' options.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ortolan {

// A whole unsigned decimal number, or nothing.
std::optional<uint64_t> ParseUnsigned(const std::string& text);

// Takes "--name VALUE" pairs and bare words apart.
class CCommandLine {
public:
    CCommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions);
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    std::optional<std::string> value(const std::string& option) const;
    const std::vector<std::string>& words() const { return m_words; }

private:
    std::vector<std::pair<std::string, std::string>> m_values;
    std::vector<std::string> m_words;
    std::string m_error;
};

}  // namespace ortolan
