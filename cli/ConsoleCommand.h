#pragma once

#include "cli/CliCommands.h"

// mirelle-cli console [LINE...]: each line (the arguments, or with none the
// lines of standard input) through the console's interpreter, with its
// defaults, last command and symbol table, each output printed as the
// console window would append it. A watch polls in the terminal.
ExitCode ConsoleCommand(CliSession& session, const CliArguments& lines);
