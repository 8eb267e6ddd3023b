// SPDX-License-Identifier: GPL-3.0-or-later
#include "user_folders.h"

#include <cstdlib>
#include <filesystem>

namespace ortolan {

CUserFolders::CUserFolders(Environment environment) : m_environment(std::move(environment))
{
    if (!m_environment) m_environment = [](const char* name) { return static_cast<const char*>(std::getenv(name)); };
}

std::string CUserFolders::Base(const char* variable, const char* fallbackUnderHome) const
{
    const char* value = m_environment(variable);
    if (value && value[0] == '/') return value;
    const char* home = m_environment("HOME");
    if (home && home[0] == '/') return std::string(home) + fallbackUnderHome;
    return {};
}

std::string CUserFolders::StateFolder() const
{
    std::string base = Base("XDG_STATE_HOME", "/.local/state");
    return base.empty() ? base : base + "/ortolan/";
}

std::string CUserFolders::DefaultLogFolder() const
{
    std::string base = Base("XDG_DATA_HOME", "/.local/share");
    return base.empty() ? base : base + "/ortolan/logs/";
}

bool CUserFolders::Make(const std::string& folder)
{
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

}  // namespace ortolan
