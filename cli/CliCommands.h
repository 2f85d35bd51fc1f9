#pragma once

#include "cli/ExitCode.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CliSession;

// One command of mirelle-cli: a row of the table that the command line is
// parsed against, --help is written from, and commands are run through.
struct CliCommand {
    const char* name;
    const char* synopsis;  // its arguments, as --help shows them ("FILE")
    std::size_t minArguments;
    std::size_t maxArguments;
    const char* help;  // one line
    ExitCode (*run)(CliSession& session, const std::vector<std::string>& arguments);
};

std::span<const CliCommand> CliCommands();
const CliCommand* FindCliCommand(std::string_view name);
