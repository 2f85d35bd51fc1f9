#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

// mirelle-cli [OPTION]... COMMAND [ARGUMENT]... [OPTION]...
// Options may stand anywhere on the line; every word after "--" is an argument.
struct CliOptions {
    std::optional<std::string> port;     // -p, --port; otherwise MIRELLE_PORT, else the stored "ComPort"
    std::vector<std::string> ports;      // every --port given, in order: line runs one machine on each
    bool json = false;                   // -j, --json
    bool trace = false;                  // -t, --trace
    bool yes = false;                    // -y, --yes
    bool quiet = false;                  // -q, --quiet: results only, no progress
    bool verify = false;                 // --verify: read back what a download wrote
    std::optional<std::string> kind;     // --kind user|factory|boot|symbols
    std::optional<std::string> symbols;  // --symbols FILE
    std::optional<unsigned> reads;       // --reads N; otherwise a watch reads until Ctrl-C
    std::chrono::seconds eraseTimeout{60};  // --erase-timeout: the longest erase phase of a download
    bool help = false;     // -h, --help: the whole help, or the command's when one is given
    bool version = false;  // --version
    std::optional<std::string> record;   // --record FILE: every event of the line into FILE
    // The production station (serials, history).
    std::optional<std::string> database;  // --database FILE|URI; otherwise the station's own SQLite file
    std::optional<std::string> station;   // --station NAME; otherwise the host name
    std::optional<std::string> prefix;    // --prefix TEXT: serials add
    std::optional<unsigned> first;        // --first N: serials add
    std::optional<unsigned> last;         // --last N: serials add
    std::optional<unsigned> digits;       // --digits N: serials add
    std::optional<std::string> serial;    // --serial TEXT: history
    std::optional<std::string> since;     // --since DATE: history
    bool csv = false;                     // --csv: history
    std::string command;
    std::vector<std::string> arguments;
};

struct ParsedCommandLine {
    CliOptions options;
    std::string error;  // empty when the command line is good
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The options of mirelle-cli, so that a command's row in the table can say
// which of them apply to it.
enum class CliOption : unsigned {
    Port, Yes, Json, Trace, Quiet, Verify, Kind, Symbols, Reads, EraseTimeout, Record, Help, Version,
    Database, Station, Prefix, First, Last, Digits, Serial, Since, Csv
};

// A set of options, one bit each.
using CliOptionSet = unsigned;

constexpr CliOptionSet OptionSet(std::initializer_list<CliOption> options)
{
    CliOptionSet set = 0;
    for (const CliOption option : options)
        set |= 1u << unsigned(option);
    return set;
}

constexpr bool Contains(CliOptionSet set, CliOption option)
{
    return (set & OptionSet({option})) != 0;
}

// One option as the parser takes it and --help shows it.
struct CliOptionRow {
    CliOption id;
    const char* shortName;  // "p", or "" for a long form only
    const char* longName;   // "port"
    const char* valueName;  // "NAME", or "" for a switch
    const char* help;       // its lines in --help, broken by '\n'
    const char* needs;      // what a value must be: "--port needs a port name"
};

std::span<const CliOptionRow> CliOptionRows();
