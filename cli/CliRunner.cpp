#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/ErrorStream.h"
#include "cli/Signals.h"

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                ErrorStream& errors)
{
    if (commandLine.options.help) {
        std::fputs(UsageText().c_str(), out);
        return ExitCode::Done;
    }
    if (!commandLine.error.empty()) {
        errors.Write("mirelle-cli: " + commandLine.error + "\n\n" + UsageText());
        return ExitCode::Usage;
    }
    CliSession session(commandLine.options, context, in, out, errors);
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    const ExitCode code = command->run(session, commandLine.options.arguments);
    return StopSignals::Requested() ? session.EndAfterStop() : code;
}
