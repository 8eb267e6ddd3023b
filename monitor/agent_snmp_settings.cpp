// SPDX-License-Identifier: GPL-3.0-or-later
#include "agent_snmp_settings.h"

#include <QSettings>
#include <QStringList>
#include <charconv>

#include "interface_names.h"
#include "node_key.h"

namespace ortolan {

namespace {

constexpr size_t kMaxSettingWordBytes = 255;

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = text.size();
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

}  // namespace

std::optional<tagAgentSnmp> ParseAgentSnmp(std::string_view agent, std::string_view value)
{
    std::optional<CIpAddress> address = CIpAddress::Parse(agent);
    if (!address || !address->IsV4()) return std::nullopt;
    std::vector<std::string_view> words = Words(value);
    if (words.empty()) return std::nullopt;
    tagAgentSnmp entry;
    entry.agent = std::string(agent);
    const std::string_view mode = words[0];
    if (mode == "v1") entry.mode = 1;
    else if (mode == "v2c") entry.mode = 2;
    else if (mode == "v3auth") entry.mode = 3;
    else if (mode == "v3priv") entry.mode = 4;
    else return std::nullopt;
    const size_t credentials = entry.mode >= 3 ? 2 : 1;
    if (words.size() < 1 + credentials || words.size() > 2 + credentials) return std::nullopt;
    for (std::string_view word : words)
        if (word.size() > kMaxSettingWordBytes) return std::nullopt;
    entry.communityOrUser = std::string(words[1]);
    if (credentials == 2) entry.password = std::string(words[2]);
    if (words.size() == 2 + credentials) {
        std::string_view port = words.back();
        auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), entry.port);
        if (error != std::errc() || end != port.data() + port.size() || entry.port < 1 || entry.port > 65535)
            return std::nullopt;
    }
    return entry;
}

std::vector<tagAgentSnmp> ReadAgentSnmpSettings(QSettings& settings)
{
    std::vector<tagAgentSnmp> agents;
    settings.beginGroup(kSnmpAgentsGroup);
    for (const QString& key : settings.childKeys()) {
        if (agents.size() >= kMaxIfNameAgents) break;
        // A value with a comma comes back as a list; it is one text here.
        QString value = settings.value(key).toStringList().join(QLatin1Char(','));
        if (std::optional<tagAgentSnmp> entry = ParseAgentSnmp(key.toStdString(), value.toStdString()))
            agents.push_back(std::move(*entry));
    }
    settings.endGroup();
    return agents;
}

}  // namespace ortolan
