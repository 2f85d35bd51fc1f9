#pragma once

#include "cli/CliCommands.h"

#include <string>

// mirelle-cli's help, written from the tables of options and commands: the
// whole page (--help, help), one command's (help COMMAND, COMMAND --help),
// and the version line (--version).
std::string UsageText();
std::string CommandHelpText(const CliCommand& command);
std::string VersionText();

// mirelle-cli help [COMMAND]: the whole help, or the command's.
ExitCode HelpCommand(CliSession& session, const CliArguments& arguments);
