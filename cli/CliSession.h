#pragma once

#include "app/ToolContext.h"
#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/TerminalPrompts.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class PortBackend;
class Procedure;
struct MachineInfo;

// A Latin-1 text with its control characters (C0, DEL, C1) written as \x1B:
// what the machine's fields may hold, shown without acting on the terminal.
std::string EscapedControls(const std::string& latin1);

// What every command of mirelle-cli works with: the options, the context of
// the process-wide objects, and the three streams (lines to run on `in`;
// results on `out`; progress, trace and diagnostics on `err`).
class CliSession {
public:
    CliSession(const CliOptions& options, const ToolContext& context, std::FILE* in, std::FILE* out, std::FILE* err);

    const CliOptions& options;
    ToolContext context;
    // Confirmations from --yes or the terminal (standard input).
    TerminalPrompts prompts;

    // A result line on `out`. Texts from the machine and from files are
    // bytes, one Latin-1 character each. Once a stop came (StopSignals),
    // results are no longer printed: the run ends with EndAfterStop().
    void Say(const std::string& latin1Line);
    // A result line of the tool's own that may quote the user's text (UTF-8).
    void SayUtf8(const std::string& utf8Line);
    // A line on `err` as it stands (a loaded file's summary).
    void Note(const std::string& latin1Line);
    // A diagnostic on `err`: "mirelle-cli: " and the line; none after a stop.
    void Complain(const std::string& line);

    // The next line of `in`, without its line break, its first 64 KiB kept
    // and the rest read and dropped; false at its end or at a stop.
    bool ReadLine(std::string& line);

    // Opens the port given with --port, else the one MIRELLE_PORT names,
    // else the one the tool has stored
    // ("ComPort"), its device resolved afresh ("Ports/comN"). False, with one
    // line on `err` telling which port, which device, why and what to do,
    // when none is selected or it cannot be opened: the command then ends
    // with ExitCode::PortUnavailable and reads nothing.
    [[nodiscard]] bool OpenLink();

    // Prints the machine information panel for a readout (control bytes
    // escaped), or the JSON object.
    void PrintPanel(const MachineInfo& info);

    // Runs a procedure to its end with progress on `err`, a stop as its
    // Abort button and --erase-timeout as the bound of its erase phase,
    // keeping `resultText` in step; then prints the result text.
    ExitCode RunWithProgress(Procedure& procedure, std::string& resultText);

    // How a run that was stopped ends: "Aborted" (nothing after a closed
    // pipe), exit code 5.
    ExitCode EndAfterStop();

private:
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
};

// The port backend the options ask for: the operating system's serial ports,
// given up at a stop, recorded with --record (`recordError` says why the file
// cannot be written; the run must then not go on; `portName` tells the name of
// the port being opened), traced on `err` with --trace.
std::unique_ptr<PortBackend> CliPortBackend(const CliOptions& options, std::FILE* err,
                                            std::string* recordError = nullptr,
                                            std::function<std::string()> portName = {});
