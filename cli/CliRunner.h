#pragma once

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"

#include <cstdio>

class ErrorStream;
struct ToolContext;

// Runs one parsed mirelle-cli command line on the process-wide objects of
// `context`: lines to run from `in`, results to `out`, progress, trace and
// diagnostics through `errors`. A run that was stopped (StopSignals) ends with
// "Aborted" and exit code 5 whatever the command had reached.
ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors);
