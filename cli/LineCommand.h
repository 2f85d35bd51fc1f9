#pragma once

#include "cli/CliCommands.h"

// line RECIPE: the production station on one port. The recipe and its
// files loaded and checked, the database reached, then the recipe's run on
// the machine (RunLine), each step's result printed as it comes; with
// --json the record's fields.
ExitCode LineCommand(CliSession& session, const CliArguments& arguments);
