// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_resolver.h"

#include <QHostAddress>
#include <QHostInfo>

#include "node_key.h"

namespace ortolan {

void CQtHostResolver::StartLookup(const CIpAddress& address, ReplyFn reply)
{
    const AddressText text = address.Text();
    QString asked = QString::fromLatin1(text.view().data(), qsizetype(text.view().size()));
    // The answer is delivered through this object's thread; if the resolver is
    // gone by then, Qt drops the answer.
    QHostInfo::lookupHost(asked, this, [reply = std::move(reply), asked](const QHostInfo& info) {
        tagHostReply answer;
        answer.error = info.error() == QHostInfo::NoError ? 0 : int(info.error()) + 1;
        // The platform answers an address without a name with the address
        // itself; that is no name.
        if (answer.error == 0 && info.hostName() != asked) answer.hostName = info.hostName().toStdString();
        // The addresses without their scope, in the binary form the tables key by.
        for (const QHostAddress& a : info.addresses()) {
            QString text = a.toString();
            if (qsizetype scope = text.indexOf('%'); scope >= 0) text.truncate(scope);
            if (auto address = CIpAddress::Parse(text.toStdString())) answer.addresses.push_back(*address);
        }
        reply(answer);
    });
}

}  // namespace ortolan
