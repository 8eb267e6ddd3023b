// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An SNMP client for tests of the reading and writing procedure: it records
// every request and finishes it with the outcome the test queued.
#include <deque>
#include <string>
#include <vector>

#include "snmp_client.h"

namespace ortolan::testing {

struct tagFakeRequest {
    bool isWalk = true;
    int mode = 0;
    std::string peer;
    std::string communityOrUser;
    std::string password;
    std::string rootOrLines;
    int timeoutSeconds = 0;
    int retries = 0;
};

struct tagFakeOutcome {
    bool sent = true;  // what Walk or SetValues returns
    int errorCode = 0;
    std::vector<std::string> results;
};

class CFakeSnmpClient : public ISnmpClient {
public:
    std::vector<tagFakeRequest> requests;
    std::deque<tagFakeOutcome> outcomes;  // one per request; none: sent, no lines
    int resets = 0;
    // While true, a sent request stays Pending until Complete().
    bool holdPending = false;

    bool Walk(int mode, const std::string& peer, const std::string& user, const std::string& password,
              const std::string& root, int timeoutSeconds, int retries) override
    {
        return Start(tagFakeRequest{true, mode, peer, user, password, root, timeoutSeconds, retries});
    }
    bool SetValues(int mode, const std::string& peer, const std::string& user, const std::string& password,
                   const std::string& lines, int timeoutSeconds, int retries) override
    {
        return Start(tagFakeRequest{false, mode, peer, user, password, lines, timeoutSeconds, retries});
    }
    void ResetSession() override
    {
        ++resets;
        m_status = SnmpStatus::Idle;
        m_errorCode = 0;
        m_results.clear();
    }
    SnmpStatus status() const override { return m_status; }
    int errorCode() const override { return m_errorCode; }
    const std::vector<std::string>& results() const override { return m_results; }

    void Complete()
    {
        m_status = SnmpStatus::Done;
        m_errorCode = m_pending.errorCode;
        m_results = m_pending.results;
    }

private:
    bool Start(const tagFakeRequest& request)
    {
        requests.push_back(request);
        tagFakeOutcome outcome;
        if (!outcomes.empty()) {
            outcome = outcomes.front();
            outcomes.pop_front();
        }
        m_results.clear();
        if (!outcome.sent) {
            m_status = SnmpStatus::Done;
            m_errorCode = 6;
            return false;
        }
        m_pending = outcome;
        m_status = SnmpStatus::Pending;
        if (!holdPending) Complete();
        return true;
    }

    SnmpStatus m_status = SnmpStatus::Idle;
    int m_errorCode = 0;
    std::vector<std::string> m_results;
    tagFakeOutcome m_pending;
};

}  // namespace ortolan::testing
