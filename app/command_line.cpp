#include "command_line.h"

#include <algorithm>

namespace ortolan {

std::optional<uint64_t> ParseUnsigned(const std::string& text)
{
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    return value;
}

CCommandLine::CCommandLine(const std::vector<std::string>& args,
                           const std::vector<std::string>& valueOptions)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            m_words.push_back(a);
            continue;
        }
        if (std::find(valueOptions.begin(), valueOptions.end(), a) == valueOptions.end()) {
            m_error = "unknown option " + a;
            return;
        }
        if (i + 1 >= args.size()) {
            m_error = "option " + a + " needs a value";
            return;
        }
        m_values.emplace_back(a, args[++i]);
    }
}

std::optional<std::string> CCommandLine::value(const std::string& option) const
{
    for (auto it = m_values.rbegin(); it != m_values.rend(); ++it)
        if (it->first == option) return it->second;
    return std::nullopt;
}

}  // namespace ortolan
