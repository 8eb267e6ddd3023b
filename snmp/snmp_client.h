// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One asynchronous SNMP request at a time, polled for its outcome: what the
// setup window and `ortolan agent` need of the SNMP layer. CSnmpApi is the
// real one; tests of the reading and writing procedure hand in a fake.
#include <string>
#include <vector>

namespace ortolan {

enum class SnmpStatus { Idle, Pending, Done };

// Modes: 1 SNMPv1, 2 SNMPv2c (communityOrUser is the community), 3 SNMPv3
// authNoPriv with HMAC-MD5, 4 SNMPv3 authPriv with HMAC-MD5 and DES
// (communityOrUser is the user, password the pass phrase of both keys).
//
// errorCode after Done: 0 success; 1 to 4 the agent's error status (tooBig,
// noSuchName, badValue, readOnly); 5 any other error status; 2 also a walk
// without a single result line; -1 no answer after all retries, a request
// that could not be sent, or a failed SNMPv3 engine probe; 6 a local failure
// (mode, pass phrase shorter than 8 characters, session, a name that does
// not parse, a set without a usable line, an address that is not one).
class ISnmpClient {
public:
    virtual ~ISnmpClient() = default;

    // Walks the subtree of rootName (an object name such as "sFlowAgent").
    // True when the first request went out; false leaves status Done with
    // errorCode 6, or nothing changed when the address or name is empty.
    virtual bool Walk(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                      const std::string& password, const std::string& rootName, int timeoutSeconds,
                      int retries) = 0;

    // Sends one set request of "name.index[:letter]=value" lines joined by
    // "\n". True when it went out.
    virtual bool SetValues(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                           const std::string& password, const std::string& lines, int timeoutSeconds,
                           int retries) = 0;

    // Closes the session; status Idle, errorCode 0, no results.
    virtual void ResetSession() = 0;

    virtual SnmpStatus status() const = 0;
    virtual int errorCode() const = 0;
    // Result lines in the order received ("sFlowRcvrOwner.1=STRING: \"x\"").
    virtual const std::vector<std::string>& results() const = 0;
};

}  // namespace ortolan
