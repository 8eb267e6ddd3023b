// SPDX-License-Identifier: GPL-3.0-or-later
#include "clickhouse_server.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ortolan::testing {
namespace {

uint16_t FreeTcpPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

}  // namespace

CClickHouseServer::CClickHouseServer()
{
    char pattern[] = "/tmp/ortolan-clickhouse-XXXXXX";
    if (::mkdtemp(pattern)) m_dir = pattern;
}

CClickHouseServer::~CClickHouseServer()
{
    Stop();
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
}

std::string CClickHouseServer::Binary()
{
    for (const char* path : {"/usr/sbin/clickhouse-server", "/usr/bin/clickhouse-server"})
        if (::access(path, X_OK) == 0) return path;
    return {};
}

bool CClickHouseServer::Start()
{
    if (m_dir.empty() || Binary().empty()) return false;
    if (!m_httpPort) m_httpPort = FreeTcpPort(), m_tcpPort = FreeTcpPort();
    // The root element of the 18.x configuration; today's servers take it too.
    std::ofstream(m_dir + "/config.xml")
        << "<?xml version=\"1.0\"?>\n<yandex>\n"
        << "  <logger><level>warning</level><log>" << m_dir << "/log/server.log</log><errorlog>" << m_dir
        << "/log/error.log</errorlog><console>0</console></logger>\n"
        << "  <http_port>" << m_httpPort << "</http_port>\n  <tcp_port>" << m_tcpPort << "</tcp_port>\n"
        << "  <listen_host>127.0.0.1</listen_host>\n"
        << "  <path>" << m_dir << "/data/</path>\n  <tmp_path>" << m_dir << "/tmp/</tmp_path>\n"
        << "  <user_files_path>" << m_dir << "/user_files/</user_files_path>\n"
        << "  <format_schema_path>" << m_dir << "/format_schemas/</format_schema_path>\n"
        << "  <mark_cache_size>5368709120</mark_cache_size>\n"
        << "  <users_config>" << m_dir << "/users.xml</users_config>\n"
        << "  <default_profile>default</default_profile>\n  <default_database>default</default_database>\n"
        << "  <timezone>UTC</timezone>\n  <keep_alive_timeout>3</keep_alive_timeout>\n</yandex>\n";
    std::ofstream(m_dir + "/users.xml")
        << "<?xml version=\"1.0\"?>\n<yandex>\n  <profiles><default></default></profiles>\n"
        << "  <users><default><password></password><networks><ip>127.0.0.1</ip></networks>"
        << "<profile>default</profile><quota>default</quota></default></users>\n"
        << "  <quotas><default></default></quotas>\n</yandex>\n";
    std::filesystem::create_directories(m_dir + "/log");
    const std::string binary = Binary();
    const std::string config = "--config-file=" + m_dir + "/config.xml";
    m_pid = ::fork();
    if (m_pid == 0) {
        int out = ::open((m_dir + "/log/stdout.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) ::dup2(out, 1), ::dup2(out, 2);
        ::chdir(m_dir.c_str());
        ::execl(binary.c_str(), binary.c_str(), config.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0) return false;
    // Up to a minute: an 18.16 server takes a few seconds on a busy machine.
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        if (Query("SELECT 1").kind == tagHttpAnswer::Kind::Ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Stop();
    return false;
}

void CClickHouseServer::Stop()
{
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 600; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

tagHttpAnswer CClickHouseServer::Query(const std::string& sql)
{
    tagStoreLimits limits;
    limits.requestTimeout = std::chrono::milliseconds(30000);
    CClickHouseHttp http(Url(), "", "", limits);
    return http.Query(sql);
}

}  // namespace ortolan::testing
