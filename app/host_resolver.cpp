#include "host_resolver.h"

#include <QHostAddress>
#include <QHostInfo>

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
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol) answer.addresses.push_back(a.toString().toStdString());
        reply(answer);
    });
}

}  // namespace ortolan
