// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every command of the program shares on its command line: the exit
// statuses, the parser's set-up (CLI11) and the handling of --help and of
// usage errors.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ortolan {

// The exit statuses of every command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitPartial = 1;  // nothing to report, or a partial failure
inline constexpr int kExitUsage = 2;    // usage or start-up error

// A command's parser. name is the command as typed ("ortolan collect"); its
// help ends with the exit statuses.
std::unique_ptr<CLI::App> NewCommandParser(const std::string& name, const std::string& description);

// Accepts a whole decimal number from minimum to maximum; the message of a
// refusal names the range.
CLI::Validator WholeNumber(uint64_t minimum, uint64_t maximum);

// " (MIN to MAX, default DEFAULT)", for an option's description.
std::string RangeHelp(uint64_t minimum, uint64_t maximum, const std::string& initial);

// Parses the words after the command. Nothing when the command is to run;
// otherwise its exit status: kExitSuccess after the help was printed on out,
// kExitUsage after the problem was printed on err.
std::optional<int> ParseCommandLine(CLI::App& parser, const std::vector<std::string>& args, std::ostream& out,
                                    std::ostream& err);

}  // namespace ortolan
