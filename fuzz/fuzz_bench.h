// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One entry per decoder and parser that untrusted bytes reach. The fuzzers and
// the robustness tests drive the same entries, so every input a fuzzer found
// replays in an ordinary test. An entry returns false when the input broke one
// of the invariants the program relies on (a counter that does not add up, a
// limit overrun, a key outside its range); memory errors are left to the
// sanitizers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ortolan {

class CFuzzBench {
public:
    CFuzzBench();
    ~CFuzzBench();
    CFuzzBench(const CFuzzBench&) = delete;
    CFuzzBench& operator=(const CFuzzBench&) = delete;

    // The names of the entries, which are also the folder names of their
    // corpora and regression inputs.
    static std::vector<std::string> TargetNames();
    static bool HasTarget(std::string_view name);

    // Runs one input through the named entry; false when an invariant broke
    // (or the name is unknown).
    bool Run(std::string_view target, const uint8_t* data, size_t size);

    // What the last failed run found, for the test's message.
    const std::string& failure() const { return m_failure; }

private:
    struct tagState;

    bool RunSFlow(const uint8_t* data, size_t size);
    bool RunNetFlow(const uint8_t* data, size_t size);
    bool RunFlowTemplates(const uint8_t* data, size_t size);
    bool RunHeader(const uint8_t* data, size_t size);
    bool RunOuiTable(const uint8_t* data, size_t size);
    bool RunProtocolTable(const uint8_t* data, size_t size);
    bool RunPortTable(const uint8_t* data, size_t size);
    bool RunFlowLog(const uint8_t* data, size_t size);
    bool RunMarkup(const uint8_t* data, size_t size);
    bool Fail(std::string what);
    // Writes the bytes to the bench's scratch file and returns its path.
    std::string Scratch(const std::string& name, const uint8_t* data, size_t size);

    std::unique_ptr<tagState> m_state;
    std::string m_failure;
};

}  // namespace ortolan
