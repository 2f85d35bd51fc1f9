#pragma once

#include "cli/CliOptions.h"
#include "cli/ExitCode.h"

#include <cstdio>

class ErrorStream;
class RecordingBackend;
struct ToolContext;

// Runs one parsed mirelle-cli command line on the process-wide objects of
// `context`: lines to run from `in`, results to `out`, progress, trace and
// diagnostics through `errors`. A run that was stopped (StopSignals) ends with
// "Aborted" and exit code 5 whatever the command had reached. With --json,
// `out` gets one JSON object at the end of the run instead of the result
// lines (JsonReport), also for a usage error once --json was read, a stop
// ("Aborted") and a port that did not open; and every line of `errors` is
// a JSON object of its own.
// `recording`: the port stack's, for --record.
ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors, RecordingBackend* recording = nullptr);
