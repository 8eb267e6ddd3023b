// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program asks of the loaded MIB modules: an object's syntax and
// textual convention, by name. The SNMP layer answers from the library's MIB
// tree; tests hand in a table. Keeps the text functions free of the library.
#include <optional>
#include <string>
#include <string_view>

namespace ortolan {

enum class MibSyntax {
    ObjectIdentifier,
    OctetString,
    Integer,         // INTEGER and Integer32
    NetworkAddress,
    IpAddress,
    Unsigned,        // Counter32, Gauge32, UInteger32, Unsigned32
    TimeTicks,
    Other,           // Opaque, NULL, Counter64, BITS, NsapAddress, ...
};

struct tagMibObjectInfo {
    MibSyntax syntax = MibSyntax::Other;
    std::string textualConvention;  // empty when the object has none
};

class IMibLookup {
public:
    virtual ~IMibLookup() = default;
    // The object of a bare name ("sFlowRcvrOwner", no index); nothing when the
    // loaded modules do not define it.
    virtual std::optional<tagMibObjectInfo> Find(std::string_view objectName) const = 0;
};

// The letter the SNMP library reads a set value by: o, s, i, x, a, u or t by
// the object's syntax; a space when the object is unknown.
char TypeLetterOf(const IMibLookup& mibs, std::string_view objectName);

}  // namespace ortolan
