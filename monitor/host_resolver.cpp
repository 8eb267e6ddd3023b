// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_resolver.h"

#include <QHostAddress>
#include <QHostInfo>

#include "node_key.h"

namespace ortolan {

void CQtHostResolver::StartLookup(const std::string& address, ReplyFn reply)
{
    QString asked = QString::fromStdString(address);
    // The answer is delivered through this object's thread; if the resolver is
    // gone by then, Qt drops the answer.
    QHostInfo::lookupHost(asked, this, [reply = std::move(reply), asked](const QHostInfo& info) {
        tagHostReply answer;
        answer.error = info.error() == QHostInfo::NoError ? 0 : int(info.error()) + 1;
        // The platform answers an address without a name with the address
        // itself; that is no name.
        if (answer.error == 0 && info.hostName() != asked) answer.hostName = info.hostName().toStdString();
        // Addresses in the text the tables show (RFC 5952 for IPv6, no scope),
        // so the answer files under the text that was asked.
        for (const QHostAddress& a : info.addresses()) {
            QString text = a.toString();
            if (qsizetype scope = text.indexOf('%'); scope >= 0) text.truncate(scope);
            if (auto address = CIpAddress::Parse(text.toStdString())) answer.addresses.push_back(address->String());
        }
        reply(answer);
    });
}

}  // namespace ortolan
