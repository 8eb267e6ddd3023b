// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reverse name look-ups behind a small seam: the monitoring controller asks
// for the name of an IPv4 or IPv6 address and gets the answer later, on the thread
// that asked. Addresses cross it in their binary form; the text the platform
// needs is formed by the implementation. The Qt implementation uses QHostInfo;
// tests answer by hand.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "node_key.h"

namespace ortolan {

struct tagHostReply {
    int error = 0;                        // 0: answered
    std::string hostName;                 // empty when there is no name
    std::vector<CIpAddress> addresses;    // the IPv4 and IPv6 addresses the name stands for
};

class IHostResolver {
public:
    using ReplyFn = std::function<void(const tagHostReply&)>;
    virtual ~IHostResolver() = default;
    // Starts a look-up of address; reply is called exactly once, later, on the
    // asking thread (never from inside this call).
    virtual void StartLookup(const CIpAddress& address, ReplyFn reply) = 0;
};

class CQtHostResolver : public QObject, public IHostResolver {
    Q_OBJECT
public:
    explicit CQtHostResolver(QObject* parent = nullptr) : QObject(parent) {}
    void StartLookup(const CIpAddress& address, ReplyFn reply) override;
};

}  // namespace ortolan
