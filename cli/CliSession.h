#pragma once

#include "operations/ToolContext.h"
#include "cli/CliOptions.h"
#include "cli/ExitCode.h"
#include "cli/JsonReport.h"
#include "cli/TerminalPrompts.h"
#include "link/PortStack.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class ErrorStream;
class RecordingBackend;
struct MachineInfo;

// What every command of mirelle-cli works with: the options, the context of
// the process-wide objects, and the three streams (lines to run on `in`;
// results on `out`; progress, trace and diagnostics through `errors`, the
// one writer of standard error).
class CliSession {
public:
    // `recording`: the port stack's recording backend, started with --record
    // as the port is opened; none without --record.
    CliSession(const CliOptions& options, const ToolContext& context, std::FILE* in, std::FILE* out,
               ErrorStream& errors, RecordingBackend* recording = nullptr);

    const CliOptions& options;
    ToolContext context;
    // With --json, the one object the run prints at its end (EndReport):
    // the commands add their findings to it.
    JsonReport report;
    // Confirmations from --yes or the terminal (standard input); an error
    // box's text is a result line (Say).
    TerminalPrompts prompts;

    // A result line on `out` (with --json kept in the report instead).
    // Texts from the machine and from files are bytes, one Latin-1 character
    // each. Once a stop came (StopSignals), results are no longer printed:
    // the run ends with EndAfterStop().
    void Say(const std::string& latin1Line);
    // A result line of the tool's own that may quote the user's text (UTF-8).
    void SayUtf8(const std::string& utf8Line);
    // A line of a report that stands after a stop too (a production line's
    // summary of its ports), UTF-8; nothing after a closed pipe.
    void SayReport(const std::string& utf8Line);
    // A line on `err` as it stands (a loaded file's summary); none with --quiet.
    void Note(const std::string& latin1Line);
    // The same for a failure's line ("File not loaded"), which --quiet keeps.
    void NoteFailure(const std::string& latin1Line);
    // A diagnostic on `err`: "mirelle-cli: " and the line; none after a stop.
    // With --json the report keeps it too: a run without a result line has
    // its last diagnostic as its result.
    void Complain(const std::string& line);
    // A usage error: "mirelle-cli: " and what was wrong, then where to read
    // more; exit code 2.
    ExitCode UsageError(const std::string& line);

    // The next line of `in`, without its line break, its first 64 KiB kept
    // and the rest read and dropped; false at its end or at a stop.
    bool ReadLine(std::string& line);

    // Opens the port given with --port, else the one MIRELLE_PORT names,
    // else the one the tool has stored
    // ("ComPort"), its device resolved afresh ("Ports/comN"); with --record
    // the recording starts just before. False, with one line on `err`
    // telling which port, which device, why and what to do, when none is
    // selected or it cannot be opened, or why the recording cannot be
    // written: the command then ends with LinkRefusal() and reads nothing.
    [[nodiscard]] bool OpenLink();
    // ExitCode::PortUnavailable, or ExitCode::FileRefused for a recording
    // that could not be written.
    ExitCode LinkRefusal() const { return linkRefusal; }
    // The end of a run's recording: the port closed and the end line
    // written. A recording that was cut on the way is said on standard
    // error with the event it holds up to; the run's exit code 0 becomes 3.
    ExitCode EndRecording(ExitCode code);

    // Prints the machine information panel for a readout (control bytes
    // escaped); with --json, its fields go into the report.
    void PrintPanel(const MachineInfo& info);

    // How a run that was stopped ends: "Aborted" (nothing after a closed
    // pipe), exit code 5.
    ExitCode EndAfterStop();

    // With --json, prints the report's one object for the run's exit code
    // (nothing after a closed pipe).
    void EndReport(ExitCode code);
    // The one writer of standard error.
    ErrorStream& Errors() { return errors; }
    // Standard output is a terminal, where a person reads it (not a pipe or a file).
    bool OutputOnTerminal() const;

    // Part of the report's object written now (JsonReport::StreamArray),
    // for a run whose findings are too many to hold.
    void StreamJson(const std::string& text);

private:
    std::FILE* in;
    std::FILE* out;
    ErrorStream& errors;
    RecordingBackend* recording;
    ExitCode linkRefusal = ExitCode::PortUnavailable;
};

// The port stack the options ask for: the operating system's serial ports,
// given up at a stop, recordable with --record, traced through `errors` with
// --trace.
PortStack CliPortStack(const CliOptions& options, ErrorStream& errors);
