#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Runs one mirelle-cli command line: results to `out`, progress, trace and
// diagnostics to `err`. Returns the exit code (ExitCode.h).
int RunCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);
