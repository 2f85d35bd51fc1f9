#include "cli/CliRunner.h"

#include "cli/CliCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliSession.h"
#include "cli/Signals.h"

ExitCode RunCli(const ParsedCommandLine& commandLine, const ToolContext& context, std::FILE* in, std::FILE* out,
                std::FILE* err)
{
    CliSession session(commandLine.options, context, in, out, err);
    if (!commandLine.error.empty())
        return session.UsageError(commandLine.error);
    if (commandLine.options.version && !commandLine.options.help) {
        std::fputs(VersionText().c_str(), out);
        return ExitCode::Done;
    }
    const CliCommand* command = FindCliCommand(commandLine.options.command);
    const ExitCode code = command->run(session, commandLine.options.arguments);
    return StopSignals::Requested() ? session.EndAfterStop() : code;
}
