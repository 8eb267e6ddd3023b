// SPDX-License-Identifier: GPL-3.0-or-later
#include "flow_log_writer.h"

#include <sys/resource.h>
#include <unistd.h>

#include "batch_writer.h"

namespace ortolan {

CFlowLogWriter::CFlowLogWriter(CLogQueue& netflow, CLogQueue& sflow) : m_netflow(netflow), m_sflow(sflow) {}

void CFlowLogWriter::SetEagerPasses(bool eager)
{
    {
        std::lock_guard lock(m_mutex);
        m_eager = eager;
    }
    // A full megabyte asks for a pass at once rather than at the next period.
    for (CLogQueue* queue : {&m_netflow, &m_sflow}) {
        if (eager)
            queue->SetFillHook(kWriterPassBytes, [this] { Request(); });
        else
            queue->SetFillHook(0, {});
    }
}

CFlowLogWriter::~CFlowLogWriter()
{
    Stop();
    if (m_eager) SetEagerPasses(false);
}

void CFlowLogWriter::SetFolder(std::string folder)
{
    std::lock_guard lock(m_mutex);
    m_folder = std::move(folder);
}

void CFlowLogWriter::Start()
{
    if (m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    m_thread = StartQuietThread([this] { Run(); });
}

void CFlowLogWriter::Request()
{
    std::lock_guard lock(m_mutex);
    ++m_requested;
    m_changed.notify_all();
}

bool CFlowLogWriter::Pass()
{
    std::string folder;
    {
        std::lock_guard lock(m_mutex);
        folder = m_folder;
    }
    m_log.SetFolder(std::move(folder));
    bool ok = m_log.WriteFlowLog(m_netflow, m_sflow);
    std::lock_guard lock(m_mutex);
    m_failing = !ok;
    m_problem = m_log.problem();
    // Only a new day's file changes the set; the copy is rare.
    if (m_log.writtenFiles().size() != m_writtenFiles.size()) m_writtenFiles = m_log.writtenFiles();
    ++m_passes;
    return ok;
}

std::set<std::string> CFlowLogWriter::writtenFiles() const
{
    std::lock_guard lock(m_mutex);
    return m_writtenFiles;
}

bool CFlowLogWriter::Flush()
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable()) {
        lock.unlock();
        std::lock_guard pass(m_passMutex);
        return Pass();
    }
    uint64_t ticket = ++m_requested;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_done >= ticket; });
    return !m_failing;
}

bool CFlowLogWriter::Stop()
{
    if (!m_thread.joinable()) return !failing();
    {
        std::lock_guard lock(m_mutex);
        ++m_requested;  // the last pass
        m_stopping = true;
        m_changed.notify_all();
    }
    m_thread.join();
    std::lock_guard lock(m_mutex);
    return !m_failing;
}

void CFlowLogWriter::Run()
{
    // Per thread on Linux; the batch writer's thread, started from here,
    // inherits it. Failing leaves the thread at the receivers' priority.
    ::setpriority(PRIO_PROCESS, ::gettid(), kWriterNice);
    std::unique_lock lock(m_mutex);
    for (;;) {
        auto due = [&] { return m_requested > m_done || m_stopping; };
        // Eager, a period with no request is a pass of its own.
        if (!m_eager)
            m_changed.wait(lock, due);
        else if (!m_changed.wait_for(lock, kWriterPassPeriod, due))
            ++m_requested;
        if (m_requested == m_done) break;  // stopping, and every request answered
        uint64_t target = m_requested;
        lock.unlock();
        {
            std::lock_guard pass(m_passMutex);
            Pass();
        }
        lock.lock();
        m_done = target;
        m_changed.notify_all();
    }
}

bool CFlowLogWriter::failing() const
{
    std::lock_guard lock(m_mutex);
    return m_failing;
}

std::string CFlowLogWriter::problem() const
{
    std::lock_guard lock(m_mutex);
    return m_problem;
}

uint64_t CFlowLogWriter::passes() const
{
    std::lock_guard lock(m_mutex);
    return m_passes;
}

}  // namespace ortolan
