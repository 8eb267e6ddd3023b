// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_files.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

namespace ortolan {
namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

bool IsLogFileName(std::string_view name)
{
    return name.size() >= 6 && EqualNoCase(name.substr(0, 2), "FL") &&
           EqualNoCase(name.substr(name.size() - 4), ".log");
}

std::vector<std::string> ListLogFiles(const std::string& folder)
{
    std::string dirPath = folder.empty() ? std::string(".") : folder;
    int fd = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {};
    std::vector<std::string> names = ListLogFiles(fd);
    ::close(fd);
    return names;
}

std::vector<std::string> ListLogFiles(int folderFd)
{
    std::vector<std::string> names;
    // The listing reads through its own descriptor, so the caller's keeps
    // its offset and stays open.
    int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (listFd < 0) return names;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return names;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (!IsLogFileName(name)) continue;
        // Only plain files: a folder or a socket named like a log is neither listed nor deleted.
        struct stat st {};
        if (::fstatat(folderFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<int64_t> LogFileDayEnd(std::string_view name)
{
    // The name without its extension, "FL" removed and the dashes made spaces,
    // read as "%d %d %d": names that do not give three numbers have no date.
    std::string text(name.substr(0, std::min(name.size(), name.rfind('.'))));
    for (size_t at = text.find("FL"); at != std::string::npos; at = text.find("FL", at))
        text.erase(at, 2);
    std::replace(text.begin(), text.end(), '-', ' ');
    int year = 0, month = 0, day = 0;
    if (std::sscanf(text.c_str(), "%d %d %d", &year, &month, &day) != 3) return std::nullopt;
    // Beyond these the calendar arithmetic below would overflow; no log carries such a name.
    if (year < 1 || year > 9999 || month < -1200 || month > 1200 || day < -40000 || day > 40000)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 23;
    tm.tm_min = 59;
    tm.tm_sec = 59;
    tm.tm_isdst = -1;
    std::time_t end = std::mktime(&tm);
    if (end == std::time_t(-1)) return std::nullopt;
    return int64_t(end);
}

}  // namespace ortolan
