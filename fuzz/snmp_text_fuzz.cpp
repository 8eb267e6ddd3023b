// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry for the SNMP result-line text functions of the setup window.
// A target of its own: these functions take their input from an agent's
// answers, not from the collectors, and build apart from the decoders.
// The first byte chooses the function, the rest is its text.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "agent_address.h"
#include "hex_string_text.h"
#include "mib_lookup.h"
#include "snmp_text.h"

namespace {

using namespace ortolan;

// Every object is an octet string; its textual convention comes from the input.
class CFuzzMibs : public IMibLookup {
public:
    explicit CFuzzMibs(std::string convention) : m_convention(std::move(convention)) {}
    std::optional<tagMibObjectInfo> Find(std::string_view) const override
    {
        return tagMibObjectInfo{MibSyntax::OctetString, m_convention};
    }

private:
    std::string m_convention;
};

[[noreturn]] void Broken(const char* what)
{
    std::fprintf(stderr, "snmp_text: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    uint8_t choice = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view half = text.substr(0, text.size() / 2);
    std::string_view rest = text.substr(text.size() / 2);
    switch (choice % 8) {
    case 0: {
        std::string line = MakeResultLine(text, choice & 8);
        for (char c : line)
            if (static_cast<unsigned char>(c) < 0x20) Broken("control byte in a result line");
        break;
    }
    case 1:
        ShortName(text);
        break;
    case 2:
        ValueOf(half, rest);
        IntValueOf(half, rest);
        break;
    case 3:
        ParseIntText(text);
        LeadingDecimal(text);
        break;
    case 4: {
        size_t capacity = size_t(choice >> 3) * 16;
        CFuzzMibs mibs(choice & 0x80 ? "InetAddress" : "");
        std::string out = HexStringToText(mibs, half, rest, capacity);
        if (out != half && capacity > 0 && out.size() > capacity - 1) Broken("result over capacity");
        break;
    }
    case 5:
        // Its result mirrors the agent's text (an IpAddress value is passed on as
        // printed), so only its bounds are checked here.
        FormatAgentAddress(text);
        break;
    case 6:
        DataSourceOfIndex(text);
        InstanceOfIndex(text);
        ParseIpv4(text);
        break;
    default:
        SplitNames(half, rest);
        TrimSnmpText(text);
        break;
    }
    return 0;
}
