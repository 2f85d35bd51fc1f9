#pragma once

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CliSession;

// The words after a command's name.
using CliArguments = std::vector<std::string>;

// One command of mirelle-cli: a row of the table that the command line is
// parsed against, the help is written from, and commands are run through.
struct CliCommand {
    const char* name;
    const char* synopsis;  // its arguments, as the help shows them ("FILE")
    std::size_t minArguments;
    std::size_t maxArguments;
    const char* help;  // one line
    ExitCode (*run)(CliSession& session, const std::vector<std::string>& arguments);
    // What `mirelle-cli help COMMAND` adds: each argument ("FILE\tthe user
    // program"), lines broken by '\n', the rest of a line after a TAB in a
    // column of its own; the options that apply; and the exit codes, one a
    // line in the same form ("4\tthe machine refused").
    const char* arguments = "";
    CliOptionSet options = 0;
    const char* exitCodes = "";
    // More about what it prints, a paragraph under its one-line help.
    const char* details = "";
};

std::span<const CliCommand> CliCommands();
const CliCommand* FindCliCommand(std::string_view name);
