// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include <algorithm>
#include <ostream>

namespace ortolan {

std::unique_ptr<CLI::App> NewCommandParser(const std::string& name, const std::string& description)
{
    auto parser = std::make_unique<CLI::App>(description, name);
    parser->footer("Exit status: 0 success, 1 nothing to report or partial failure, 2 usage or start-up error.");
    parser->get_formatter()->column_width(30);
    parser->get_formatter()->label("REQUIRED", "");
    // As with most commands, a later value overrides an earlier one: the
    // service's unit gives --log-dir, and its options file may give another.
    parser->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    return parser;
}

CLI::Validator WholeNumber(uint64_t minimum, uint64_t maximum)
{
    // The description stays empty: the option's own text says the range and
    // the default, once.
    return CLI::Validator(
        [minimum, maximum](std::string& text) -> std::string {
            bool digits = !text.empty() && text.size() <= 20 &&
                          std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            uint64_t value = 0;
            bool fits = digits;
            for (char c : text) {
                if (!fits) break;
                uint64_t next = value * 10 + uint64_t(c - '0');
                if (next / 10 != value) fits = false;
                value = next;
            }
            if (fits && value >= minimum && value <= maximum) return {};
            return "'" + text + "' is not a whole number from " + std::to_string(minimum) + " to " +
                   std::to_string(maximum);
        },
        "");
}

std::string RangeHelp(uint64_t minimum, uint64_t maximum, const std::string& initial)
{
    return " (" + std::to_string(minimum) + " to " + std::to_string(maximum) + ", default " + initial + ")";
}

std::optional<int> ParseCommandLine(CLI::App& parser, const std::vector<std::string>& args, std::ostream& out,
                                    std::ostream& err)
{
    // CLI11 takes the words last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        parser.parse(reversed);
    } catch (const CLI::Success& done) {
        // --help
        out << parser.help();
        return kExitSuccess;
    } catch (const CLI::ParseError& e) {
        err << parser.get_name() << ": " << e.what() << "\n"
            << "Try '" << parser.get_name() << " --help' for the options and their ranges.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace ortolan
