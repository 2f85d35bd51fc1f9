#pragma once

#include <string>

struct CliCommand;

// mirelle-cli's help, written from the tables of options and commands: the
// whole page (--help, help), one command's (help COMMAND, COMMAND --help),
// and the version line (--version).
std::string UsageText();
std::string CommandHelpText(const CliCommand& command);
std::string VersionText();
