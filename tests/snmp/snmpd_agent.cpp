// SPDX-License-Identifier: GPL-3.0-or-later
#include "snmpd_agent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "snmp_library.h"

#ifndef ORTOLAN_FAKE_AGENT
#error "ORTOLAN_FAKE_AGENT must name the pass_persist handler"
#endif

namespace ortolan::testing {

namespace {

constexpr const char* kSnmpd = "/usr/sbin/snmpd";
constexpr int kStartAttempts = 5;
constexpr auto kStartWait = std::chrono::seconds(10);
constexpr auto kStopWait = std::chrono::seconds(5);

int RandomPort()
{
    static std::mt19937 random(std::random_device{}());
    return std::uniform_int_distribution<int>(20000, 59999)(random);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    // Written aside and renamed, so the handler never reads half a table.
    std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::rename(temporary.c_str(), path.c_str());
}

}  // namespace

CSnmpdAgent::CSnmpdAgent() = default;

CSnmpdAgent::~CSnmpdAgent()
{
    Stop();
}

bool CSnmpdAgent::Available()
{
    return access(kSnmpd, X_OK) == 0;
}

std::string CSnmpdAgent::Path(const char* name) const
{
    return m_dir.path().toStdString() + "/" + name;
}

void CSnmpdAgent::WriteTable(const std::string& table)
{
    WriteFile(Path("table.txt"), table);
}

std::string CSnmpdAgent::SetLog() const
{
    return ReadFile(Path("set.log"));
}

bool CSnmpdAgent::Start(const std::string& table)
{
    if (!m_dir.isValid()) {
        m_problem = "no temporary folder";
        return false;
    }
    WriteTable(table);
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (StartOnPort(RandomPort())) return true;
    }
    return false;
}

bool CSnmpdAgent::StartOnPort(int port)
{
    Stop();
    m_port = port;
    std::string persist = Path("persist");
    std::string noMibs = Path("nomibs");
    mkdir(persist.c_str(), 0700);
    mkdir(noMibs.c_str(), 0700);
    std::string handler = std::string(ORTOLAN_FAKE_AGENT) + " --table " + Path("table.txt") + " --log " +
                          Path("set.log") + " --root ";
    std::ostringstream conf;
    conf << "agentaddress udp:127.0.0.1:" << port << "\n"
         << "rwcommunity tundra 127.0.0.1\n"
         << "rocommunity public 127.0.0.1\n"
         << "rocommunity viewonly 127.0.0.1 .1.3.6.1.4.1.14706\n"
         << "createUser md5user MD5 \"md5password\"\n"
         << "createUser desuser MD5 \"despassword\" DES\n"
         << "rwuser md5user auth\n"
         << "rwuser desuser priv\n"
         << "[snmp] persistentDir " << persist << "\n"
         << "pass_persist .1.3.6.1.4.1.14706 " << handler << ".1.3.6.1.4.1.14706\n"
         << "pass_persist .1.3.6.1.4.1.4300 " << handler << ".1.3.6.1.4.1.4300\n";
    WriteFile(Path("snmpd.conf"), conf.str());
    std::string log = Path("snmpd.log");
    std::remove(log.c_str());

    // Everything the child needs is prepared before fork.
    std::string confPath = Path("snmpd.conf");
    std::vector<std::string> argText = {kSnmpd, "-f", "-Lo", "-C", "-c", confPath};
    std::vector<char*> argv;
    for (std::string& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = {"MIBS=", "MIBDIRS=" + noMibs, "SNMP_PERSISTENT_DIR=" + persist,
                                        "PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) {
        m_problem = "fork failed";
        return false;
    }
    if (pid == 0) {
        // The agent goes when the test process goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        execve(kSnmpd, argv.data(), envp.data());
        _exit(127);
    }
    m_pid = pid;

    auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_problem = "snmpd ended at start: " + ReadFile(log);
            return false;
        }
        if (ReadFile(log).find("NET-SNMP version") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_problem = "snmpd did not come up: " + ReadFile(log);
    Stop();
    return false;
}

void CSnmpdAgent::Stop()
{
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + kStopWait;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
}

CSilentAgent::CSilentAgent()
{
    m_socket = socket(AF_INET, SOCK_DGRAM, 0);
    if (m_socket < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    socklen_t length = sizeof address;
    getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

int CSilentAgent::TakeReceived()
{
    int count = 0;
    char buffer[2048];
    while (m_socket >= 0 && recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) ++count;
    return count;
}

CSilentAgent::~CSilentAgent()
{
    if (m_socket >= 0) close(m_socket);
}

bool PollUntil(const std::function<bool()>& done, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        SnmpPollTick();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace ortolan::testing
