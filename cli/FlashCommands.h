#pragma once

#include "cli/CliCommands.h"

// Flash read back: read-flash ADDRESS LENGTH FILE, backup FILE, restore FILE.
ExitCode ReadFlashCommand(CliSession& session, const CliArguments& arguments);
ExitCode BackupCommand(CliSession& session, const CliArguments& arguments);
ExitCode RestoreCommand(CliSession& session, const CliArguments& arguments);
