// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted host, a hand-answered resolver and loopback helpers for the
// monitoring controller's tests.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "loopback_udp.h"
#include "monitor_controller.h"

namespace ortolan::testing {

class FakeHost : public IMonitorHost {
public:
    tagMonitorSettings form;
    bool refuseForm = false;
    std::optional<tagStartChoice> choice = tagStartChoice{};
    std::string folder;
    int formReads = 0;
    int dialogsShown = 0;
    int rowsAppeared = 0;
    int refreshes = 0;
    std::vector<bool> monitoringChanges;
    std::vector<std::string> failedSockets;
    std::string status;

    std::optional<tagMonitorSettings> ReadForm(bool) override
    {
        ++formReads;
        if (refuseForm) return std::nullopt;
        return form;
    }
    std::optional<tagStartChoice> ChooseStart() override
    {
        ++dialogsShown;
        return choice;
    }
    std::string LogFolder() override { return folder; }
    void MonitoringChanged(bool on) override { monitoringChanges.push_back(on); }
    void StatusChanged(const std::string& markup) override { status = markup; }
    void RowsAppeared() override { ++rowsAppeared; }
    void SocketFailed(const char* name, uint32_t port) override
    {
        failedSockets.push_back(std::string(name) + ":" + std::to_string(port));
    }
    void RefreshDone() override { ++refreshes; }
    std::vector<int64_t> clockSteps;
    void ClockStepChanged(int64_t seconds) override { clockSteps.push_back(seconds); }

    struct tagProgress {
        std::string file;
        size_t index, count;
        uint64_t done, total;
    };
    std::vector<tagProgress> progress;
    size_t cancelAtCall = SIZE_MAX;   // answer false to this call (from 0)
    int replaysFinished = 0;
    bool ReplayProgress(const std::string& file, size_t index, size_t count, uint64_t done, uint64_t total) override
    {
        progress.push_back({file, index, count, done, total});
        return progress.size() - 1 != cancelAtCall;
    }
    void ReplayFinished() override { ++replaysFinished; }
};

class FakeResolver : public IHostResolver {
public:
    struct tagAsked {
        CIpAddress address;
        ReplyFn reply;
    };
    std::vector<tagAsked> asked;
    void StartLookup(const CIpAddress& address, ReplyFn reply) override
    {
        asked.push_back({address, std::move(reply)});
    }
};


// Runs the event loop until done(), or ten seconds as a hang guard: what it
// waits for is on loopback, so only a machine far too busy gets near it.
template <class Done>
bool ProcessUntil(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace ortolan::testing
