#pragma once

#include "cli/CliCommands.h"

// mirelle-cli decode FILE: a recording of the line (--record) as one line an
// exchange and a summary, or with --json one object.
ExitCode DecodeCommand(CliSession& session, const CliArguments& arguments);
