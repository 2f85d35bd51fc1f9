#pragma once

#include "cli/CliCommands.h"

// The production station's data, on the database --database names:
// serials add NAME, serials status [NAME], and history.
ExitCode SerialsCommand(CliSession& session, const CliArguments& arguments);
ExitCode HistoryCommand(CliSession& session, const CliArguments& arguments);
