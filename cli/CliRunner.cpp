#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/Signals.h"

#include <exception>

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors, RecordingBackend* recording)
{
    CliSession session(commandLine.options, context, in, out, errors, recording);
    if (!commandLine.error.empty()) {
        session.UsageError(commandLine.error);
        session.EndReport(ExitCode::Usage);
        return ExitCode::Usage;
    }
    if (commandLine.options.version && !commandLine.options.help) {
        std::fputs(VersionText().c_str(), out);
        return ExitCode::Done;
    }
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    ExitCode code = ExitCode::Done;
    try {
        code = command->run(session, commandLine.options.arguments);
    } catch (const std::exception& error) {
        if (!commandLine.options.json)
            throw;  // main() says it
        session.Complain(error.what());
        code = ExitCode::MachineRefused;
    }
    if (StopSignals::Requested())
        code = session.EndAfterStop();
    code = session.EndRecording(code);
    session.EndReport(code);
    return code;
}
