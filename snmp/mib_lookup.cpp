// SPDX-License-Identifier: GPL-3.0-or-later
#include "mib_lookup.h"

namespace ortolan {

char TypeLetterOf(const IMibLookup& mibs, std::string_view objectName)
{
    std::optional<tagMibObjectInfo> object = mibs.Find(objectName);
    if (!object) return ' ';
    switch (object->syntax) {
    case MibSyntax::ObjectIdentifier: return 'o';
    case MibSyntax::OctetString: return 's';
    case MibSyntax::Integer: return 'i';
    case MibSyntax::NetworkAddress: return 'x';
    case MibSyntax::IpAddress: return 'a';
    case MibSyntax::Unsigned: return 'u';
    case MibSyntax::TimeTicks: return 't';
    case MibSyntax::Other: break;
    }
    return 's';
}

}  // namespace ortolan
