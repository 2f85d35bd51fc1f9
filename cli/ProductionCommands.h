#pragma once

#include "cli/CliCommands.h"

#include <memory>
#include <string>

class ProductionDatabase;

// The production station's data, on the database --database names:
// serials add NAME, serials status [NAME], and history.
ExitCode SerialsCommand(CliSession& session, const CliArguments& arguments);
ExitCode HistoryCommand(CliSession& session, const CliArguments& arguments);

// The station's name: --station, else the host name.
std::string StationName(const CliSession& session);

// The database --database names, or the station's own; nothing, said, when
// the option is wrong (`refusal` 2) or it cannot be reached (7).
std::unique_ptr<ProductionDatabase> OpenDatabase(CliSession& session, ExitCode& refusal);
