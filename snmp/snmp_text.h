// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text functions over the result lines of the SNMP layer. A result line is
// "name=value": the short object name with its index, "=", and the library's
// printed value with its type label (STRING: "x", INTEGER: 5, OID: ifIndex.5).
// Plain C++; every function takes any bytes and never reads outside them.
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

// White space here is space, tab, CR and LF.
std::string TrimSnmpText(std::string_view text);

// The result line of one printed variable ("name = TYPE: value" as the SNMP
// library prints it): control bytes become spaces, the name is shortened with
// ShortName (a leading digit gets "mib_2." in front), the value of an OBJECT
// IDENTIFIER is shortened too. Empty when the printed text has no "=".
std::string MakeResultLine(std::string_view printed, bool valueIsObjectId);

// The last name and index of an object name: module prefixes and type labels
// ("SFLOW-MIB::", "OID:") and leading name parts are dropped, so both
// "SFLOW-MIB::sFlowRcvrOwner.1" and "OID: ifIndex.5" come out short.
std::string ShortName(std::string_view text);

// The value text of the object name in a result line, without its type label
// and quotes (a quoted string's \" and \\ read back as " and \); empty when
// the name is not in the line.
std::string ValueOf(std::string_view line, std::string_view name);

// A number from a value text: "6343" gives 6343, "ipv4(1)" gives 1. Text that
// holds no number gives 0; numbers beyond 32 bits are held at the limits.
int ParseIntText(std::string_view text);

// ParseIntText of ValueOf.
int IntValueOf(std::string_view line, std::string_view name);

// The pieces of a text between any of the delimiter characters, trimmed at
// the front; empty pieces are left out.
std::vector<std::string> SplitNames(std::string_view text, std::string_view delimiters);

// The leading decimal number of a text (after white space), as entry fields
// read table cells: "" and "abc" give 0.
int LeadingDecimal(std::string_view text);

}  // namespace ortolan
