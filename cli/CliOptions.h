#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// mirelle-cli [--port NAME] [--json] [--trace] [--yes] [--kind K] [--symbols FILE]
//             [--reads N] [--erase-timeout SECONDS] COMMAND [ARGUMENT...]
struct CliOptions {
    std::optional<std::string> port;     // --port; otherwise MIRELLE_PORT, else the stored "ComPort"
    bool json = false;                   // --json
    bool trace = false;                  // --trace
    bool yes = false;                    // --yes
    bool quiet = false;                  // --quiet: results only, no progress
    bool verify = false;                 // --verify: read back what a download wrote
    std::optional<std::string> kind;     // --kind user|factory|boot|symbols
    std::optional<std::string> symbols;  // --symbols FILE
    std::optional<unsigned> reads;       // --reads N; otherwise a watch reads until Ctrl-C
    std::chrono::seconds eraseTimeout{60};  // --erase-timeout: the longest erase phase of a download
    std::optional<std::string> record;   // --record FILE: every event of the line into FILE
    bool help = false;
    std::string command;
    std::vector<std::string> arguments;
};

struct ParsedCommandLine {
    CliOptions options;
    std::string error;  // empty when the command line is good
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();
