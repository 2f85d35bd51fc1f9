#pragma once

#include "cli/CliCommands.h"

// Files into the machine: download FILE, factory FILE, boot FILE. Each loads
// its file (of the kind it takes), then runs its job.
ExitCode DownloadCommand(CliSession& session, const CliArguments& arguments);
ExitCode FactoryCommand(CliSession& session, const CliArguments& arguments);
ExitCode BootCommand(CliSession& session, const CliArguments& arguments);
