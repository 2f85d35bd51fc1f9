#pragma once

#include "cli/CliCommands.h"

// The once-only fields and the power requests: write-serial TEXT,
// write-name TEXT, power-off, program-loader.
ExitCode WriteSerialCommand(CliSession& session, const CliArguments& arguments);
ExitCode WriteNameCommand(CliSession& session, const CliArguments& arguments);
ExitCode PowerOffCommand(CliSession& session, const CliArguments& arguments);
ExitCode ProgramLoaderCommand(CliSession& session, const CliArguments& arguments);
